#include "base/DTLog.h"

#include <gtest/gtest.h>

using namespace kestrel;

TEST(Log, InfoLineHasThePrefixAndTheValue) {
    testing::internal::CaptureStdout();
    log_line(logger::info()) << "[slideshow_produce] progress " << 42 << std::endl;
    EXPECT_EQ("[kestrel][info][slideshow_produce] progress 42\n",
              testing::internal::GetCapturedStdout());
}

TEST(Log, LevelsGoToTheirStreams) {
    testing::internal::CaptureStdout();
    log_line(logger::error()) << "[a] e" << std::endl;
    log_line(logger::warning()) << "[a] w" << std::endl;
    log_line(logger::trace()) << "[a] t" << std::endl;
    EXPECT_EQ("[kestrel][error][a] e\n[kestrel][warning][a] w\n",
              testing::internal::GetCapturedStdout());
}

TEST(Log, TraceStreamNeverFails) {
    std::ostream& trace = *logger::trace().stream;
    for (int i = 0; i < 10000; ++i)
        trace << "some text " << i << std::flush;
    trace.put(std::char_traits<char>::to_char_type(0));
    EXPECT_TRUE(trace.good());
    logger::null_wstream() << L"wide" << std::endl;
    EXPECT_TRUE(logger::null_wstream().good());
}

// A path or an address from outside stays on its line and inside its quotes,
// UTF-8 text, and a huge one keeps its start and its end.
TEST(Log, QuotedTextStaysOnOneLine) {
    EXPECT_EQ("\"/photos/a b.jpg\"", log_quoted("/photos/a b.jpg"));
    EXPECT_EQ("\"\"", log_quoted(""));
    EXPECT_EQ("\"a\\x0a[kestrel]\\x22\\x5c\\x00\\x7f\xC3\xBC caf\\xe9.jpg\"",
              log_quoted(std::string("a\n[kestrel]\"\\\0\x7F\xC3\xBC caf\xe9.jpg", 26)));
    const std::string huge = "http://" + std::string(1 << 20, 'x') + "/end";
    const std::string quoted = log_quoted(huge);
    EXPECT_EQ(2 + 300 + 3, quoted.size());
    EXPECT_EQ(0u, quoted.find("\"http://xxx"));
    EXPECT_NE(std::string::npos, quoted.find("xxx...xxx"));
    EXPECT_EQ(quoted.size() - 5, quoted.find("/end\""));
}
