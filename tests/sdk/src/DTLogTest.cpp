#include "DTLog.h"

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
