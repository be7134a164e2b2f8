#include "DTErrors.h"
#include "DTFailureReason.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <boost/exception_ptr.hpp>

#include <stdexcept>
#include <thread>

using namespace kestrel;

namespace {

// A kind that derives non-virtually, as the muxer's do.
class plain_kind : public errors::dt_error {
public:
    plain_kind() : errors::dt_error("plain : text") {}
};

void throw_unexpected() { KESTREL_THROW(errors::unexpected() << errinfo_api_function("av_x")); }

} // namespace

TEST(Errors, TextsOfTheKinds) {
    EXPECT_STREQ("kestrel sdk error", errors::dt_error().what());
    EXPECT_STREQ("unexpected", errors::unexpected().what());
    EXPECT_STREQ("invalid pointer", errors::invalid_pointer().what());
    EXPECT_STREQ("invalid operation", errors::invalid_operation().what());
    EXPECT_STREQ("invalid argument", errors::invalid_argument().what());
    EXPECT_STREQ("bad alloc", errors::bad_alloc().what());
    EXPECT_STREQ("kestrel sdk error", errors::create_file().what());
    EXPECT_STREQ("kestrel sdk error", errors::error().what());
    EXPECT_STREQ("invalid index", errors::failure("invalid index").what());
}

// What the user is told: the attached reason, else a text that says more
// than the default one, else no text of the library's at all.
TEST(Errors, ReasonForTheUser) {
    const auto reason = [](auto thrower) {
        try {
            thrower();
        } catch (...) {
            return errors::reason_of(std::current_exception());
        }
        return std::string("nothing thrown");
    };
    EXPECT_EQ("unexpected error", reason([] { KESTREL_THROW(errors::error()); }));
    EXPECT_EQ("empty file", reason([] { KESTREL_THROW(errors::error("empty file")); }));
    EXPECT_EQ("no sound in it",
              reason([] { KESTREL_THROW(errors::failure("no audio stream") << errinfo_reason("no sound in it")); }));
    EXPECT_EQ("unexpected error", reason([] { throw 42; }));
}

// What the log is told: the reason, then what the error adds to it.
TEST(Errors, LogTextKeepsWhatTheReasonLeavesOut) {
    const auto log_text = [](auto thrower) {
        try {
            thrower();
        } catch (...) {
            return errors::log_text_of(std::current_exception());
        }
        return std::string("nothing thrown");
    };
    const std::string here = "at DTErrorsTest.cpp:";
    EXPECT_THAT(log_text([] { KESTREL_THROW(errors::failure("no audio stream") << errinfo_reason("no sound in it")); }),
                testing::StartsWith("no sound in it (no audio stream, " + here));
    EXPECT_THAT(log_text([] { KESTREL_THROW(errors::error() << errinfo_api_function("avio_open") << errinfo_errno(2)); }),
                testing::StartsWith("unexpected error (avio_open failed, code 2, " + here));
    EXPECT_THAT(log_text([] { KESTREL_THROW(errors::error("empty file")); }),
                testing::StartsWith("empty file (" + here));
    EXPECT_EQ("bad text", log_text([] { throw std::runtime_error("bad text"); }));
    EXPECT_EQ("unexpected error", log_text([] { throw 42; }));
    EXPECT_EQ("unexpected error", errors::log_text_of(std::exception_ptr()));
}

TEST(Errors, ThrownErrorKeepsItsTextAndLocation) {
    try {
        throw_unexpected();
        FAIL();
    } catch (const errors::dt_error& e) {
        EXPECT_STREQ("unexpected", e.what());
        ASSERT_NE(nullptr, boost::get_error_info<boost::throw_function>(e));
        EXPECT_NE(std::string::npos,
                  std::string(*boost::get_error_info<boost::throw_function>(e)).find("throw_unexpected"));
        ASSERT_NE(nullptr, boost::get_error_info<boost::throw_file>(e));
        EXPECT_NE(std::string::npos,
                  std::string(*boost::get_error_info<boost::throw_file>(e)).find("DTErrorsTest"));
        ASSERT_NE(nullptr, boost::get_error_info<boost::throw_line>(e));
        EXPECT_GT(*boost::get_error_info<boost::throw_line>(e), 0);
        ASSERT_NE(nullptr, boost::get_error_info<errinfo_api_function>(e));
        EXPECT_EQ("av_x", *boost::get_error_info<errinfo_api_function>(e));
    }
}

TEST(Errors, CaughtByBaseAndRethrownOnAnotherThreadKeepsTypeAndText) {
    boost::exception_ptr captured;
    std::thread worker([&] {
        try {
            KESTREL_THROW(errors::failure("invalid index") << errinfo_errno(5));
        } catch (...) {
            captured = boost::current_exception();
        }
    });
    worker.join();
    ASSERT_TRUE(captured);
    try {
        boost::rethrow_exception(captured);
        FAIL();
    } catch (const errors::failure& e) {
        EXPECT_STREQ("invalid index", e.what());
        ASSERT_NE(nullptr, boost::get_error_info<errinfo_errno>(e));
        EXPECT_EQ(5, *boost::get_error_info<errinfo_errno>(e));
    }
}

TEST(Errors, NonVirtualKindKeepsItsText) {
    try {
        KESTREL_THROW(plain_kind());
    } catch (const errors::dt_error& e) {
        EXPECT_STREQ("plain : text", e.what());
        EXPECT_NE(nullptr, dynamic_cast<const plain_kind*>(&e));
        const std::string diagnostic = boost::diagnostic_information(e);
        EXPECT_NE(std::string::npos, diagnostic.find("plain : text"));
    }
}
