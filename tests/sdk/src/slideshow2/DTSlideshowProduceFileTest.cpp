// A second of show with music through every output preset, reopened with
// FFmpeg: container, codecs and frame size by preset, every picture in its
// slide's colour, sound as long as the pictures and faded out at the end.

#include "audio/DTAudioTrackFile.h"
#include "slideshow2/DTSlideshowProduce.h"
#include "support/AudioSignalTrack.h"
#include "support/MadeFileChecks.h"
#include "support/MusicFiles.h"
#include "support/ShowStandIn.h"
#include "support/TestFiles.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <iostream>
#include <ostream>

using namespace kestrel;
using namespace kestrel::slideshow2;

namespace {

using test::made_file;

const int show_ms = 1000;
const int frames = 25;

// Two seconds of tone, cut to the show's second by the fade-out.
const std::string& music_file() {
    static test::TempDir folder;
    static const std::string path = [] {
        test::tone_file tone;
        tone.extension = "mp3";
        tone.seconds = 2.0;
        const std::string file = folder.file("music.mp3");
        test::make_tone_file(file, tone);
        return file;
    }();
    return path;
}

class ProduceFile : public testing::TestWithParam<made_file> {};

} // namespace

TEST_P(ProduceFile, ReopensWithThePresetsStreamsPicturesAndFadedSound) {
    const made_file& c = GetParam();
    test::show_stand_in_options options;
    options.duration_ms = show_ms;
    options.music = create_audio_track_file(music_file(), nullptr, false);
    test::show_stand_in show(options);
    test::TempDir folder;
    const std::string path = folder.file("show");
    media_settings_ptr settings = media_settings::create("produce-preset", c.preset);
    settings->set("frame-aspect", "16/9"); // kept by the presets without an aspect of their own

    test::production_watch watch;
    std::string log;
    const int result = test::run_production(show, path, settings, watch, &log);
    ASSERT_EQ(slideshow_produce::done, result) << log;
    EXPECT_EQ(std::string::npos, log.find("refused")) << "every codec option of the preset applies\n" << log;
    EXPECT_EQ(100.0, watch.percents().back());

    const test::media_probe probe = test::probe_media_file(path);
    const test::stream_probe* video = nullptr;
    const test::stream_probe* audio = nullptr;
    test::expect_made_file(probe, c, video, audio);
    if (HasFatalFailure())
        return;

    ASSERT_EQ(static_cast<size_t>(frames), video->mean_luma.size());
    for (int i = 0; i < frames; ++i)
        EXPECT_NEAR(test::show_stand_in::luma_of(show.colour_at(i * 40.0)), video->mean_luma[i],
                    6.0)
            << "picture " << i;

    // The sound lasts as long as the pictures: every sample of the show,
    // then at most the padding of the last codec frame.
    test::expect_sound_of_the_shows_length(*audio, c, show_ms);
    // Loud while the music plays, silent once it has faded out.
    ASSERT_GT(audio->block_peaks.size(), 4u);
    EXPECT_GT(*std::max_element(audio->block_peaks.begin(), audio->block_peaks.end()), 0.08);
    EXPECT_LT(audio->block_peaks.back(), 0.01);
}

INSTANTIATE_TEST_SUITE_P(
    Presets, ProduceFile,
    testing::Values(made_file{"iphone", test::mp4_demuxer, "h264", "aac", 480, 320, 1024, 0},
                    made_file{"iphone4", test::mp4_demuxer, "h264", "aac", 960, 640, 1024, 0},
                    made_file{"iphone5", test::mp4_demuxer, "h264", "aac", 1136, 640, 1024, 0},
                    made_file{"ipad", test::mp4_demuxer, "h264", "aac", 1024, 768, 1024, 0},
                    made_file{"ipad3", test::mp4_demuxer, "h264", "aac", 1440, 1080, 1024, 0},
                    made_file{"windows-low", "avi", "mpeg4", "mp3", 852, 480, 1152, 1105},
                    made_file{"windows-medium", "avi", "mpeg4", "mp3", 1280, 720, 1152, 1105},
                    made_file{"windows-high", "avi", "mpeg4", "mp3", 1920, 1080, 1152, 1105},
                    made_file{"mac-low", test::mp4_demuxer, "h264", "aac", 852, 480, 1024, 0},
                    made_file{"mac-medium", test::mp4_demuxer, "h264", "aac", 1280, 720, 1024, 0},
                    made_file{"mac-high", test::mp4_demuxer, "h264", "aac", 1920, 1080, 1024, 0},
                    made_file{"tube-low", "flv", "h264", "aac", 640, 360, 1024, 1024},
                    made_file{"tube-medium", "flv", "h264", "aac", 852, 480, 1024, 1024},
                    made_file{"tube-high", "flv", "h264", "aac", 1280, 720, 1024, 1024},
                    made_file{"mpeg", "mpeg", "mpeg2video", "mp2", 852, 480, 1152, 0},
                    made_file{"windows-simple", "avi", "mpeg4", "mp3", 320, 180, 1152, 1105},
                    made_file{"default", test::mp4_demuxer, "h264", "aac", 852, 480, 1024, 0}),
    [](const testing::TestParamInfo<made_file>& info) {
        std::string name = info.param.preset;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

namespace {

enum music_kind { no_music, short_music, greedy_music };

// Music that gives twice the sound asked for, so that the sound runs
// ahead of the pictures.
class greedy_track : public test::signal_track {
public:
    using signal_track::signal_track;
    audio_data_timed_ptr read(double duration) override {
        return signal_track::read(2 * duration);
    }
};

class ProduceSound : public testing::TestWithParam<music_kind> {};

} // namespace

TEST_P(ProduceSound, LastsAsLongAsThePicturesWhateverTheMusic) {
    const audio_format_ptr format = audio_format::create(44100, sample_format_s16, 2, 3);
    test::show_stand_in_options options;
    options.duration_ms = 2000.0;
    if (GetParam() == short_music)
        options.music = boost::make_shared<test::signal_track>(
            *format, test::sine_tone(44100, 440.0), 400.0);
    if (GetParam() == greedy_music)
        options.music = boost::make_shared<greedy_track>(
            *format, test::sine_tone(44100, 440.0), 4000.0);
    test::show_stand_in show(options);
    test::TempDir folder;
    test::production_watch watch;
    std::string log;
    const int result =
        test::run_production(show, folder.file("show.mp4"), media_settings::create(), watch, &log);
    ASSERT_EQ(slideshow_produce::done, result) << log;

    const test::media_probe probe = test::probe_media_file(folder.file("show.mp4"));
    const test::stream_probe* audio = probe.first(1);
    ASSERT_TRUE(audio);
    // Every sample up to the pictures' end; the greedy music may have run
    // one picture (40 ms) ahead.
    const int64_t padding = audio->decoded_samples - 88200;
    EXPECT_GE(padding, 0);
    EXPECT_LT(padding, 1024 + (GetParam() == greedy_music ? 1764 : 0));
    const std::vector<double>& peaks = audio->block_peaks;
    ASSERT_GT(peaks.size(), 4u);
    EXPECT_LT(peaks.back(), 0.01); // silent or faded out
    EXPECT_EQ(GetParam() != no_music, peaks[3] > 0.3);
}

INSTANTIATE_TEST_SUITE_P(Music, ProduceSound,
                         testing::Values(no_music, short_music, greedy_music),
                         [](const testing::TestParamInfo<music_kind>& info) {
                             return std::string(info.param == no_music      ? "none"
                                                : info.param == short_music ? "shorter_than_show"
                                                                            : "running_ahead");
                         });

// The mp4 trailer (its index) is the last thing written: a file that may
// grow to all but its last byte fails only there.
TEST(ProduceFileEnd, ATrailerThatCannotBeWrittenIsAMuxerFailure) {
    test::show_stand_in_options options;
    options.duration_ms = 400.0;
    test::TempDir folder;
    test::production_watch whole_watch, cut_watch;
    std::string log;
    {
        test::show_stand_in show(options);
        ASSERT_EQ(slideshow_produce::done,
                  test::run_production(show, folder.file("whole.mp4"), media_settings::create(),
                                       whole_watch, &log));
    }
    const long long whole = test::file_size(folder.file("whole.mp4"));

    rlimit saved;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
    rlimit cut = saved;
    cut.rlim_cur = static_cast<rlim_t>(whole - 1);
    void (*saved_signal)(int) = signal(SIGXFSZ, SIG_IGN); // writes fail instead
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &cut));
    test::show_stand_in show(options);
    // The log is not captured into a file: it would meet the limit too.
    const int result = test::run_production(show, folder.file("cut.mp4"),
                                            media_settings::create(), cut_watch, nullptr);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, saved_signal);
    std::cout.clear();

    EXPECT_EQ(slideshow_produce::muxer_failed, result);
    EXPECT_EQ(whole - 1, test::file_size(folder.file("cut.mp4")));
    EXPECT_EQ(100.0, cut_watch.percents().back()); // every picture went out
}
