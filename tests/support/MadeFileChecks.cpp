#include "support/MadeFileChecks.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kestrel {
namespace test {

const char* const mp4_demuxer = "mov,mp4,m4a,3gp,3g2,mj2";

void expect_made_file(const media_probe& probe, const made_file& c, const stream_probe*& video,
                      const stream_probe*& audio) {
    EXPECT_EQ(c.demuxer, probe.format);
    video = probe.first(0);
    audio = probe.first(1);
    ASSERT_TRUE(video && audio);
    EXPECT_EQ(c.video_codec, video->codec);
    EXPECT_EQ(c.audio_codec, audio->codec);
    EXPECT_EQ(c.width, video->width);
    EXPECT_EQ(c.height, video->height);
}

void expect_sound_of_the_shows_length(const stream_probe& audio, const made_file& c, int show_ms) {
    EXPECT_EQ(44100, audio.sample_rate);
    const int64_t padding = audio.decoded_samples - c.priming - 44100 * show_ms / 1000;
    EXPECT_GE(padding, 0);
    EXPECT_LT(padding, c.codec_frame);
}

} // namespace test
} // namespace kestrel
