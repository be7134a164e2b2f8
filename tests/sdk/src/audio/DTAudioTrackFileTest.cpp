#include "audio/DTAudioTrackFile.h"
#include "files/DTFailureReason.h"

#include "support/AudioSignals.h"
#include "support/MusicFiles.h"
#include "support/RowNames.h"
#include "support/TestFiles.h"
#include "support/ToneLevel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace kestrel;
using namespace kestrel::test;

namespace {

std::vector<double> read_channel(audio_track& track, int channel, double ms) {
    std::vector<double> samples;
    while (audio_data_timed_ptr block = track.read(ms)) {
        const std::vector<double> part = channel_samples(*block->data, channel);
        samples.insert(samples.end(), part.begin(), part.end());
    }
    return samples;
}

double level_after_seek(audio_track& track, double t) {
    track.seek(t);
    audio_data_timed_ptr block = track.read(50.0);
    return block ? tone_level(channel_samples(*block->data, 0), 44100, 440.0) : -1.0;
}

} // namespace

class MusicTrackFormats : public ::testing::TestWithParam<std::string> {};

TEST_P(MusicTrackFormats, ReadsInTheTrackFormat) {
    audio_track_file track(sample_tone_file(GetParam()), nullptr, false);
    audio_format_ptr format = track.format();
    EXPECT_EQ(44100, format->sample_rate());
    EXPECT_EQ(sample_format_s16, format->sample_format());
    EXPECT_EQ(2, format->channels());
    EXPECT_EQ(3u, format->channel_layout());
    EXPECT_NEAR(1000.0, track.duration(), 50.0);

    EXPECT_FALSE(track.read(0.01)); // not a whole frame
    for (int i = 0; i < 3; ++i) {
        audio_data_timed_ptr block = track.read(100.0);
        ASSERT_TRUE(block);
        EXPECT_EQ(4410u, block->data->samples());
        EXPECT_DOUBLE_EQ(100.0, block->duration);
        EXPECT_DOUBLE_EQ(100.0 * i, block->start);
    }
    EXPECT_DOUBLE_EQ(340.0, track.advance(40.0));
}

TEST_P(MusicTrackFormats, KeepsEachChannelsTone) {
    audio_track_file track(sample_tone_file(GetParam()), nullptr, false);
    std::vector<double> left, right;
    while (audio_data_timed_ptr block = track.read(100.0)) {
        const auto l = channel_samples(*block->data, 0);
        const auto r = channel_samples(*block->data, 1);
        left.insert(left.end(), l.begin(), l.end());
        right.insert(right.end(), r.begin(), r.end());
    }
    EXPECT_NEAR(44100.0, left.size(), 4200.0);
    EXPECT_TRUE(carries_tone(left, 44100, 440.0, 1000.0));
    EXPECT_TRUE(carries_tone(right, 44100, 1000.0, 440.0));
}

TEST_P(MusicTrackFormats, EndsThenSeekMakesItReadableAgain) {
    audio_track_file track(sample_tone_file(GetParam()), nullptr, false);
    const std::vector<double> first_pass = read_channel(track, 0, 250.0);
    EXPECT_FALSE(track.read(100.0));
    EXPECT_DOUBLE_EQ(0.0, track.seek(0.0));
    EXPECT_NEAR(static_cast<double>(first_pass.size()), read_channel(track, 0, 250.0).size(),
                2100.0);

    EXPECT_DOUBLE_EQ(500.0, track.seek(500.0));
    audio_data_timed_ptr block = track.read(100.0);
    ASSERT_TRUE(block);
    EXPECT_DOUBLE_EQ(500.0, block->start);
}

TEST_P(MusicTrackFormats, LoopsWithoutAGap) {
    audio_track_file once(sample_tone_file(GetParam()), nullptr, false);
    const std::vector<double> pass = read_channel(once, 0, 100.0);
    ASSERT_FALSE(pass.empty());

    // The looping track plays the file's sound back to back: nothing
    // inserted, nothing lost at the seams, blocks always full.
    audio_track_file track(sample_tone_file(GetParam()), nullptr, true);
    std::vector<double> looped;
    double expected_start = 0.0;
    while (looped.size() < 5 * pass.size() / 2) {
        audio_data_timed_ptr block = track.read(100.0);
        ASSERT_TRUE(block);
        ASSERT_EQ(4410u, block->data->samples());
        EXPECT_DOUBLE_EQ(expected_start, block->start);
        expected_start += block->duration;
        const auto part = channel_samples(*block->data, 0);
        looped.insert(looped.end(), part.begin(), part.end());
    }
    EXPECT_GT(track.position(), track.duration());
    for (std::size_t i = 0; i < looped.size(); ++i)
        ASSERT_EQ(pass[i % pass.size()], looped[i]) << GetParam() << " frame " << i;
}

INSTANTIATE_TEST_SUITE_P(MusicFilter, MusicTrackFormats, ::testing::ValuesIn(music_extensions()),
    [](const ::testing::TestParamInfo<std::string>& info) { return kestrel::test::row_name(info.param); });

TEST(MusicTrack, SeekArithmetic) {
    TempDir dir;
    const std::string path = dir.file("zéhn-seconds.wav");
    make_late_tone_file(path, 10.0, 5.0);

    audio_track_file looping(path, nullptr, true);
    ASSERT_DOUBLE_EQ(10000.0, looping.duration());
    EXPECT_DOUBLE_EQ(25000.0, looping.seek(25000.0)); // 5000 ms into the file
    EXPECT_GT(level_after_seek(looping, 25000.0), 0.2);
    EXPECT_LT(level_after_seek(looping, 24000.0), 0.01); // 4000 ms: still silent
    EXPECT_DOUBLE_EQ(-500.0, looping.seek(-500.0));
    audio_data_timed_ptr start = looping.read(100.0);
    ASSERT_TRUE(start);
    EXPECT_DOUBLE_EQ(-500.0, start->start);

    audio_track_file once(path, nullptr, false);
    EXPECT_DOUBLE_EQ(10000.0, once.seek(25000.0)); // clamped to the end
    EXPECT_FALSE(once.read(100.0));
    EXPECT_GT(level_after_seek(once, 7000.0), 0.2);
}

// However long the ask, a read of a looping track ends: at most
// most_frames_per_read frames, labelled with their length.
TEST(MusicTrack, HugeReadIsBounded) {
    audio_track_file track(sample_tone_file("wav"), nullptr, true);
    audio_data_timed_ptr block = track.read(1e12);
    ASSERT_TRUE(block);
    EXPECT_EQ(most_frames_per_read, block->data->samples());
    EXPECT_DOUBLE_EQ(1000.0 * most_frames_per_read / 44100, block->duration);
    EXPECT_DOUBLE_EQ(block->duration, track.position());
}

TEST(MusicTrack, PicksTheFirstAudioStream) {
    TempDir dir;
    const std::string video_first = dir.file("vidéo-first.mkv");
    make_video_then_audio_file(video_first, 0.5);
    audio_track_file after_video(video_first, nullptr, false);
    std::vector<double> left = read_channel(after_video, 0, 100.0);
    EXPECT_TRUE(carries_tone(left, 44100, 440.0, 1000.0));

    const std::string two = dir.file("twö-streams.mkv");
    make_two_audio_streams_file(two, 440.0, 1000.0);
    audio_track_file first_of_two(two, nullptr, false);
    left = read_channel(first_of_two, 0, 100.0);
    EXPECT_TRUE(carries_tone(left, 44100, 440.0, 1000.0));
}

// Each refusal carries the reason the user is shown.
TEST(MusicTrack, RefusesFilesWithoutSoundAndSaysWhy) {
    TempDir dir;
    const std::string silent_film = dir.file("nür-bild.mkv");
    make_video_only_file(silent_film);
    EXPECT_THROW(audio_track_file(silent_film, nullptr, false), errors::failure);
    EXPECT_THROW(audio_track_file(dir.file("missing.mp3"), nullptr, false), media_splitter::error);
    write_file(dir.file("empty.mp3"), "");
    write_file(dir.file("notes.mp3"), "la la la, not a song\n");
    const std::pair<std::string, const char*> cases[] = {
        {silent_film, "no sound in it"},
        {dir.file("missing.mp3"), "not found"},
        {dir.file("empty.mp3"), "empty file"},
        {dir.file("notes.mp3"), "not a sound file that can be read"},
        {dir.path(), "a folder, not a file"},
    };
    for (const auto& [path, reason] : cases) {
        std::exception_ptr failure;
        try {
            create_audio_track_file(path, nullptr, false);
        } catch (...) {
            failure = std::current_exception();
        }
        ASSERT_TRUE(failure) << path;
        EXPECT_EQ(reason, errors::reason_of(failure)) << path;
    }
}

TEST(MusicTrack, ConvertsToTheAskedFormat) {
    audio_format_ptr mono = audio_format::create(22050, sample_format_fltp, 1, 4);
    audio_track_file track(sample_tone_file("flac"), mono.get(), false);
    mono.reset(); // the track keeps its own copy
    EXPECT_EQ(22050, track.format()->sample_rate());
    audio_data_timed_ptr block = track.read(100.0);
    ASSERT_TRUE(block);
    EXPECT_EQ(2205u, block->data->samples());
    EXPECT_EQ(sample_format_fltp, block->data->sample_format());
    EXPECT_EQ(1, block->data->channels());
}

namespace {

struct joined_case {
    const char* name;
    int channels; // of the second part
    int sample_rate;
};

void PrintTo(const joined_case& c, std::ostream* out) { *out << c.name; }

class JoinedMusic : public ::testing::TestWithParam<joined_case> {};

// Samples [from, to) seconds of a 44100 Hz channel.
std::vector<double> span(const std::vector<double>& samples, double from, double to) {
    const std::size_t first = std::min(samples.size(), static_cast<std::size_t>(from * 44100));
    const std::size_t last = std::min(samples.size(), static_cast<std::size_t>(to * 44100));
    return std::vector<double>(samples.begin() + first, samples.begin() + last);
}

} // namespace

// Two music files joined with cat, the second of another channel count or
// rate: both parts play to their end, each at its own pitch.
TEST_P(JoinedMusic, PlaysEveryPartAtItsPitch) {
    TempDir dir;
    const std::string path = dir.file("jöined.mp3");
    tone_file first;
    first.extension = "mp3";
    tone_file second = first;
    second.channels = GetParam().channels;
    second.sample_rate = GetParam().sample_rate;
    second.left_hz = 660.0;
    make_joined_tone_file(path, {first, second});

    audio_track_file track(path, nullptr, false);
    const std::vector<double> left = read_channel(track, 0, 100.0);
    EXPECT_NEAR(2.0 * 44100, static_cast<double>(left.size()), 0.1 * 44100);
    EXPECT_TRUE(carries_tone(span(left, 0.2, 0.8), 44100, 440.0, 660.0));
    // Played at the first part's rate, 660 Hz would sound an octave up.
    EXPECT_TRUE(carries_tone(span(left, 1.2, 1.8), 44100, 660.0, 1320.0));
}

INSTANTIATE_TEST_SUITE_P(
    FormatChanges, JoinedMusic,
    ::testing::Values(joined_case{"StereoThenMono", 1, 44100},
                      joined_case{"FullRateThenHalfRate", 2, 22050}),
    [](const ::testing::TestParamInfo<joined_case>& info) { return std::string(info.param.name); });
