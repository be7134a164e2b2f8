// Whole files through the library's video road, reopened with FFmpeg: every
// container and codec that the output presets use.

#include "support/MediaProbe.h"
#include "support/TestFiles.h"
#include "support/VideoPipeline.h"

#include "base/DTNumberText.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
}

#include <algorithm>
#include <ostream>

using namespace kestrel;

namespace {

const int frames = 30;
const int width = 96;
const int height = 64;

struct container_case {
    const char* name;
    const char* format;  // muxer format text
    const char* codec;   // encoder
    const char* file;    // output file name
    const char* demuxer; // what FFmpeg reads it as
    const char* stream_codec;
    AVRational time_base; // of the stream, as the muxer chose it
    bool starts_at_zero;
    // MPEG program streams stamp a packet only where a frame starts a PES
    // packet; with small pictures several frames share one.
    bool every_packet_timed;
};

std::ostream& operator<<(std::ostream& out, const container_case& c) { return out << c.name; }

// The codec options of the output presets for each codec.
media_settings_ptr preset_like_settings(const container_case& c) {
    media_settings_ptr settings = test::video_settings(c.codec, width, height);
    settings->set("ffmpeg/video/threads[int]", 2);
    const std::string codec = c.codec;
    if (codec == "libx264") {
        settings->set("ffmpeg/video/crf[float]", 18.0);
        settings->set("ffmpeg/video/profile[str]", "main");
        settings->set("ffmpeg/video/level[str]", "31");
    } else if (codec == "libxvid") {
        settings->set("ffmpeg/video/flags[int]", 2);
        settings->set("picture_quality", 472);
        settings->set("ffmpeg/video/me_quality[int]", 2);
        settings->set("ffmpeg/video/mbd[int]", 1);
    } else if (codec == "mpeg4") {
        settings->set("bitrate", 400000);
    }
    return settings;
}

class EncodeToFile : public testing::TestWithParam<container_case> {};

} // namespace

TEST_P(EncodeToFile, ReopenedFileHasEveryFrameAtItsTime) {
    const container_case& c = GetParam();
    test::TempDir dir;
    const std::string path = dir.file(c.file);
    testing::internal::CaptureStdout();
    test::encode_video_file(std::string("ffmpeg/") + c.format, path, preset_like_settings(c),
                            frames);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, log.find("[kestrel][info][ff_simple_media_muxer_impl] open\n"));
    EXPECT_NE(std::string::npos, log.find("[kestrel][info][ffmpeg video encoder] : close\n"));

    const test::media_probe probe = test::probe_media_file(path);
    EXPECT_EQ(c.demuxer, probe.format);
    EXPECT_EQ(1u, probe.count(AVMEDIA_TYPE_VIDEO));
    EXPECT_EQ(0u, probe.count(AVMEDIA_TYPE_AUDIO));
    ASSERT_NE(nullptr, probe.first(AVMEDIA_TYPE_VIDEO));
    const test::stream_probe& video = *probe.first(AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(c.stream_codec, video.codec);
    EXPECT_EQ(width, video.width);
    EXPECT_EQ(height, video.height);
    EXPECT_EQ(0, av_cmp_q(AVRational{25, 1}, video.avg_frame_rate))
        << video.avg_frame_rate.num << "/" << video.avg_frame_rate.den;
    EXPECT_EQ(0, av_cmp_q(c.time_base, video.time_base))
        << video.time_base.num << "/" << video.time_base.den;
    EXPECT_EQ(static_cast<size_t>(frames), video.packets());
    EXPECT_EQ(frames, video.decoded_frames);
    EXPECT_TRUE(video.key_frames.at(0));

    // One frame in the stream's time base, e.g. 512 ticks of 1/12800.
    const int64_t tick = av_rescale_q(1, AVRational{1, 25}, video.time_base);
    std::vector<int64_t> times = video.presentation_times();
    ASSERT_EQ(static_cast<size_t>(frames), times.size());
    if (!c.every_packet_timed) {
        times.erase(std::remove(times.begin(), times.end(), AV_NOPTS_VALUE), times.end());
        ASSERT_FALSE(times.empty());
        for (size_t i = 1; i < times.size(); ++i) {
            EXPECT_LT(times[i - 1], times[i]);
            EXPECT_EQ(0, (times[i] - times[0]) % tick) << times[i];
        }
        EXPECT_LE(times.back() - times.front(), (frames - 1) * tick);
        return;
    }
    if (c.starts_at_zero) {
        EXPECT_EQ(0, times[0]);
    }
    for (int i = 0; i < frames; ++i)
        EXPECT_EQ(times[0] + i * tick, times[i]) << "frame " << i;
    if (video.time_base.den == 12800) {
        EXPECT_EQ(1536, times[3]); // pts 3 in 1/25
    }
    for (int64_t duration : video.durations)
        EXPECT_EQ(tick, duration);
}

INSTANTIATE_TEST_SUITE_P(
    Containers, EncodeToFile,
    testing::Values(
        container_case{"mp4_libx264",
                       "mp4",
                       "libx264",
                       "show.mp4",
                       "mov,mp4,m4a,3gp,3g2,mj2",
                       "h264",
                       {1, 12800},
                       true,
                       true},
        container_case{"ipod_libx264",
                       "ipod",
                       "libx264",
                       "show.m4v",
                       "mov,mp4,m4a,3gp,3g2,mj2",
                       "h264",
                       {1, 12800},
                       true,
                       true},
        container_case{
            "avi_libxvid", "avi", "libxvid", "show.avi", "avi", "mpeg4", {1, 25}, true, true},
        container_case{
            "avi_mpeg4", "avi", "mpeg4", "show.avi", "avi", "mpeg4", {1, 25}, true, true},
        // FLV cannot store the negative decoding times that B-frames need:
        // FFmpeg moves the whole file later by the delay instead.
        container_case{
            "flv_libx264", "flv", "libx264", "show.flv", "flv", "h264", {1, 1000}, false, true},
        container_case{"dvd_mpeg2video",
                       "dvd",
                       "mpeg2video",
                       "show.mpg",
                       "mpeg",
                       "mpeg2video",
                       {1, 90000},
                       false,
                       false}),
    [](const testing::TestParamInfo<container_case>& info) {
        return std::string(info.param.name);
    });

TEST(EncodeToFileLog, EncoderAndFFmpegLinesAppear) {
    test::TempDir dir;
    testing::internal::CaptureStdout();
    test::encode_video_file("ffmpeg/mp4", dir.file("log.mp4"),
                            preset_like_settings(container_case{
                                "log", "mp4", "libx264", "", "", "", {1, 1}, true, true}),
                            5);
    const std::string log = testing::internal::GetCapturedStdout();
    for (const char* line :
         {"[kestrel][info][ffmpeg video encoder] : set param \"crf\" : \"18\"\n",
          "[kestrel][info][ffmpeg video encoder] : set param \"profile\" : \"main\"\n",
          "[kestrel][info][ffmpeg video encoder] : set param \"threads\" : \"2\"\n",
          "[kestrel][info][ffmpeg][libx264][32] : ",
          "[kestrel][info][ff_simple_media_muxer_impl] open\n",
          "[kestrel][info][ffmpeg video encoder] : close\n"
          "[kestrel][info][ffmpeg video encoder] : total time: "})
        EXPECT_NE(std::string::npos, log.find(line)) << line << "\nin\n" << log;
    const std::string fps = "[kestrel][info][ffmpeg video encoder] : total fps: ";
    const size_t at = log.find(fps);
    ASSERT_NE(std::string::npos, at);
    EXPECT_GT(
        text::from_text<double>(log.substr(at + fps.size(), log.find("\n", at) - at - fps.size())),
        0.0);
}
