#include "base/DTErrors.h"
#include "files/DTFailureReason.h"
#include "files/DTFileRefusal.h"

#include <gtest/gtest.h>

#include <boost/exception_ptr.hpp>

#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <thread>

using namespace kestrel;

namespace {

// A kind that derives non-virtually, as the muxer's do.
class plain_kind : public errors::dt_error {
public:
    plain_kind() : errors::dt_error("plain : text") {}
};

void throw_unexpected() { KESTREL_THROW(errors::unexpected() << errinfo_api_function("av_x")); }

template <class Thrower>
std::exception_ptr failure_of(Thrower thrower) {
    try {
        thrower();
    } catch (...) {
        return std::current_exception();
    }
    return std::exception_ptr();
}

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
// than the default one, else no text of the library's at all. What the log
// is told: that reason, then what the error adds to it, up to where it was
// thrown (the line is left out here).
TEST(Errors, ReasonForTheUserAndForTheLog) {
    struct told {
        std::exception_ptr failure;
        std::string reason, log_start;
    };
    const std::string here = "at DTErrorsTest.cpp:";
    const told cases[] = {
        {failure_of([] { KESTREL_THROW(errors::error()); }), "unexpected error", "unexpected error (" + here},
        {failure_of([] { KESTREL_THROW(errors::error("empty file")); }), "empty file", "empty file (" + here},
        {failure_of([] { KESTREL_THROW(errors::failure("no audio stream") << errinfo_reason("no sound in it")); }),
         "no sound in it", "no sound in it (no audio stream, " + here},
        {failure_of([] { KESTREL_THROW(errors::error() << errinfo_api_function("avio_open") << errinfo_errno(2)); }),
         "unexpected error", "unexpected error (avio_open failed, code 2, " + here},
        {failure_of([] { throw std::runtime_error("bad text"); }), "bad text", "bad text"},
        {failure_of([] { throw 42; }), "unexpected error", "unexpected error"},
        {std::exception_ptr(), "unexpected error", "unexpected error"}};
    for (const told& c : cases) {
        EXPECT_EQ(c.reason, errors::reason_of(c.failure));
        const std::string log = errors::log_text_of(c.failure);
        EXPECT_EQ(c.log_start, log.substr(0, c.log_start.size()));
        EXPECT_EQ(c.log_start.find(here) != std::string::npos, log.size() > c.log_start.size()) << log;
    }
}

// A refusal travels as a value with its failure; the words of an errno are
// the system's, an EBUSY of another cause never read as a refusal.
TEST(Errors, ARefusalIsAValueAndNotEveryBusyFileIsOne) {
    const std::exception_ptr refused = failure_of([] { KESTREL_THROW(refusal_failure(file_refusal::held_by_lease)); });
    EXPECT_EQ(file_refusal::held_by_lease, refusal_of(refused));
    EXPECT_EQ(log_words(file_refusal::held_by_lease), errors::reason_of(refused));
    EXPECT_EQ(file_refusal::none,
              refusal_of(failure_of([] { KESTREL_THROW(errors::failure("busy") << errinfo_errno(EBUSY)); })));
    EXPECT_EQ(file_refusal::none, refusal_of(std::exception_ptr()));
    EXPECT_EQ("cannot be opened: " + std::generic_category().message(EBUSY), errors::file_access_reason(EBUSY));
    EXPECT_TRUE(may_answer_later(file_refusal::earlier_calls_wait));
    EXPECT_FALSE(may_answer_later(file_refusal::held_by_lease));
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
