// Whole files with picture and sound, in every container the output presets
// use: the sound's time stamps must step by the codec's frame size and the
// sound must last as long as the pictures.

#include "encoders/DTAudioEncoderQueue.h"
#include "ffmpeg/DTFFHandles.h"
#include "support/AudioSignalTrack.h"
#include "support/MediaProbe.h"
#include "support/TestFiles.h"
#include "support/VideoPipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>

using namespace kestrel;

namespace {

struct container_case {
    const char* container;
    const char* video_codec;
    const char* audio_codec;
};

std::ostream& operator<<(std::ostream& out, const container_case& c) {
    return out << c.container << " " << c.video_codec << " " << c.audio_codec;
}

const int frame_ms = 40; // 25 frames per second
const int frames = 50;

double seconds(int64_t ticks, AVRational time_base) {
    return static_cast<double>(ticks) * time_base.num / time_base.den;
}

// Decoding stamps in file order, those the container gives.
std::vector<int64_t> stated_dts(const test::stream_probe& stream) {
    std::vector<int64_t> stamps;
    for (int64_t dts : stream.dts)
        if (dts != AV_NOPTS_VALUE)
            stamps.push_back(dts);
    return stamps;
}

// The time the stream's packets cover, in seconds.
double stream_duration(const test::stream_probe& stream) {
    int64_t ticks = 0;
    for (int64_t duration : stream.durations)
        ticks += duration;
    return seconds(ticks, stream.time_base);
}

// What the audio encoder says about its codec.
struct audio_codec_frame {
    int size = 0;
    int rate = 0;
    // Samples of start-up delay the codec puts before the sound.
    int priming = 0;
    double seconds() const { return static_cast<double>(size) / rate; }
};

// Encodes two seconds of synthetic pictures and of a stereo tone the way
// the producer does: after each picture, sound up to the picture's end.
audio_codec_frame write_file(const container_case& c, const std::string& path) {
    const audio_format_ptr input = audio_format::create(44100, sample_format_s16, 2, 3);
    media_settings_ptr audio_settings = media_settings::create("audio-codec", c.audio_codec);
    audio_settings->set("audio-bitrate", 192000);
    audio_encoder_queue_ptr audio =
        audio_encoder_queue_creator::create("kestrel/ffmpeg", input.get(), audio_settings);
    test::video_pipeline video(std::string("ffmpeg/") + c.container, path,
                               test::video_settings(c.video_codec, 160, 128),
                               std::vector<void*>(1, audio->codec_context()));
    audio->open();
    video.open();

    test::signal_track tone(*input, test::sine_tone(44100, 440.0), frames * frame_ms);
    auto write_audio = [&] {
        while (media_packet_ptr packet = audio->get_packet())
            video.muxer()->write_packet(packet, 1);
    };
    for (int frame = 1; frame <= frames; ++frame) {
        video.encode(1);
        while (tone.position() < frame * frame_ms) {
            audio->send_timed(tone.read(frame * frame_ms - tone.position()));
            write_audio();
        }
    }
    audio->flush();
    write_audio();
    const AVCodecContext* context = static_cast<const AVCodecContext*>(audio->codec_context());
    audio_codec_frame frame;
    frame.size = context->frame_size;
    frame.rate = context->sample_rate;
    frame.priming = context->initial_padding;
    video.finish();
    return frame;
}

class AudioVideoFile : public ::testing::TestWithParam<container_case> {};

} // namespace

TEST_P(AudioVideoFile, SoundStepsByCodecFramesAndEndsWithThePictures) {
    test::TempDir folder;
    const std::string path = folder.file(std::string("show.") + GetParam().container);
    testing::internal::CaptureStdout(); // the encoders' and FFmpeg's log lines
    audio_codec_frame codec_frame;
    try {
        codec_frame = write_file(GetParam(), path);
    } catch (...) {
        std::cout << testing::internal::GetCapturedStdout();
        throw;
    }
    testing::internal::GetCapturedStdout();

    const test::media_probe probe = test::probe_media_file(path);
    const test::stream_probe* video = probe.first(0);
    const test::stream_probe* audio = probe.first(1);
    ASSERT_TRUE(video);
    ASSERT_TRUE(audio);
    EXPECT_EQ(frames, static_cast<int>(video->packets()));
    EXPECT_EQ(2, audio->channels);
    // Both streams' stamps rise from packet to packet, as the file holds them.
    for (const test::stream_probe* stream : {video, audio}) {
        const std::vector<int64_t> stamps = stated_dts(*stream);
        ASSERT_GT(stamps.size(), stream->packets() / 2) << stream->codec;
        for (std::size_t i = 1; i < stamps.size(); ++i)
            ASSERT_LT(stamps[i - 1], stamps[i]) << stream->codec << " packet " << i;
    }
    // Enough codec frames to hold every sample sent.
    ASSERT_GE(static_cast<int64_t>(audio->packets()) * codec_frame.size, 2 * 44100);

    const std::vector<int64_t> times = audio->presentation_times();
    const double step = codec_frame.size * static_cast<double>(audio->time_base.den) /
                        (static_cast<double>(codec_frame.rate) * audio->time_base.num);
    for (std::size_t i = 1; i < times.size(); ++i)
        ASSERT_NEAR(step, static_cast<double>(times[i] - times[i - 1]), 1.0)
            << "packet " << i << " of " << times.size();

    // Containers without a way to mark the codec's start-up delay (avi,
    // flv, dvd) store it as sound; it is not part of the show.
    const double sound =
        stream_duration(*audio) - static_cast<double>(codec_frame.priming) / codec_frame.rate;
    EXPECT_NEAR(2.0, stream_duration(*video), 1e-9);
    EXPECT_NEAR(stream_duration(*video), sound, codec_frame.seconds());
    // Every sample sent is in the file, with at most the start-up delay and
    // the padding of the last codec frame around it.
    EXPECT_GE(audio->decoded_samples, 2 * 44100);
    EXPECT_LE(audio->decoded_samples, 2 * 44100 + codec_frame.priming + codec_frame.size);
}

INSTANTIATE_TEST_SUITE_P(
    PresetContainers, AudioVideoFile,
    ::testing::Values(container_case{"mp4", "libx264", "libvo_aacenc"},
                      container_case{"ipod", "libx264", "libvo_aacenc"},
                      container_case{"avi", "libxvid", "libmp3lame"},
                      container_case{"flv", "libx264", "libvo_aacenc"},
                      container_case{"dvd", "mpeg2video", "mp2"}),
    [](const ::testing::TestParamInfo<container_case>& info) {
        return std::string(info.param.container);
    });
