#include "ffmpeg/DTFFGlobal.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/log.h>
}

#include <string>

using namespace kestrel;

namespace {

const char* item_name(void*) { return "object-name"; }
AVClass make_test_class() {
    AVClass made{};
    made.class_name = "TestClass";
    made.item_name = item_name;
    made.version = LIBAVUTIL_VERSION_INT;
    return made;
}
const AVClass test_class = make_test_class();
struct logging_object {
    const AVClass* av_class = &test_class;
};

std::string log_through_ffmpeg(void* object, int level, const std::string& text) {
    testing::internal::CaptureStdout();
    av_log(object, level, "%s", text.c_str());
    return testing::internal::GetCapturedStdout();
}

} // namespace

TEST(FFGlobal, MessagesAreRoutedWithTheObjectName) {
    ffmpeg_global_init();
    ffmpeg_global_init();
    logging_object object;
    EXPECT_EQ("[kestrel][info][ffmpeg][object-name][16] : broken\n",
              log_through_ffmpeg(&object, AV_LOG_ERROR, "broken\n"));
    EXPECT_EQ("[kestrel][info][ffmpeg][][32] : no object\n",
              log_through_ffmpeg(nullptr, AV_LOG_INFO, "no object\n"));
}

TEST(FFGlobal, VerboseAndDebugAreDropped) {
    EXPECT_EQ("[kestrel][info][ffmpeg][][39] : edge", log_through_ffmpeg(nullptr, 39, "edge"));
    EXPECT_EQ("", log_through_ffmpeg(nullptr, AV_LOG_VERBOSE, "verbose\n"));
    EXPECT_EQ("", log_through_ffmpeg(nullptr, AV_LOG_DEBUG, "debug\n"));
}

TEST(FFGlobal, LongMessagesAreCut) {
    const std::string routed = log_through_ffmpeg(nullptr, AV_LOG_INFO, std::string(10000, 'x'));
    const std::string prefix = "[kestrel][info][ffmpeg][][32] : ";
    ASSERT_EQ(0u, routed.find(prefix));
    EXPECT_EQ(8191u, routed.size() - prefix.size());
}
