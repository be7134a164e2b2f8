#include "base/DTController.h"
#include "base/DTUtils.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace kestrel;

namespace {
std::string encode(const std::string& text) {
    return base64_encode(reinterpret_cast<const unsigned char*>(text.data()),
                         static_cast<unsigned int>(text.size()));
}
} // namespace

TEST(Base64, PaddingByGroupLength) {
    EXPECT_EQ("", encode(""));
    EXPECT_EQ("TQ==", encode("M"));
    EXPECT_EQ("TWE=", encode("Ma"));
    EXPECT_EQ("TWFu", encode("Man"));
    EXPECT_EQ("Zm9vYmFy", encode("foobar"));
}

TEST(Base64, DecodeStopsAtTheFirstForeignCharacter) {
    EXPECT_EQ("first", base64_decode(encode("first") + "\n" + encode("second")));
    EXPECT_EQ("", base64_decode("T"));
    EXPECT_EQ("M", base64_decode("TQ"));
    EXPECT_EQ("Ma", base64_decode("TWE"));
    EXPECT_EQ("Ma", base64_decode("TWE=TWFu"));
}

TEST(Base64, RoundTripOfEveryByte) {
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    for (std::size_t length = 0; length < bytes.size(); length += 37)
        EXPECT_EQ(bytes.substr(0, length), base64_decode(encode(bytes.substr(0, length))));
}

TEST(TextConversion, Utf8AndWideRoundTrip) {
    const std::string text = "Fotos \xC3\xA4\xC3\xB6 \xE2\x82\xAC \xF0\x9F\x8E\xB5";
    EXPECT_EQ(text, wide_to_utf8(utf8_to_wide(text)));
    EXPECT_EQ(std::wstring(L"\u00e4"), utf8_to_wide("\xC3\xA4"));
    try {
        utf8_to_wide("bad \xC3");
        FAIL();
    } catch (const std::logic_error& e) {
        EXPECT_STREQ("character conversion failed", e.what());
    }
}

TEST(TextConversion, Local8BitFollowsTheUserLocale) {
    EXPECT_EQ("plain ascii", local8bit_to_utf8("plain ascii"));
}

TEST(OpenFile, NonAsciiPathAndMissingFolder) {
    test::TempDir dir;
    const std::string path = dir.file("h\xC3\xA9llo-\xE6\x97\xA5\xE6\x9C\xAC.bin");
    {
        FILEPtr file = open_file(path, "wb");
        ASSERT_TRUE(file);
        std::fputs("abc", file.get());
    }
    EXPECT_EQ("abc", test::read_file(path));

    FILEPtr missing = open_file(dir.file("no-such-folder/x.bin"), "wb");
    EXPECT_EQ(nullptr, missing.get());
}

TEST(Controller, CancelSetsTheSharedToken) {
    Controller::impl_ptr token = Controller::Impl::create();
    auto controller = Controller::create(token);
    EXPECT_FALSE(token->is_cancelled());
    controller->cancel();
    controller->cancel();
    EXPECT_TRUE(token->is_cancelled());

    Controller::impl_ptr untouched = Controller::Impl::create();
    { auto dropped = Controller::create(untouched); }
    EXPECT_FALSE(untouched->is_cancelled());
}
