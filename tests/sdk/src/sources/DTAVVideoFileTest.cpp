#include "sources/DTAVVideoFile.h"

#include "support/AudioSignals.h"
#include "support/MusicFiles.h"
#include "support/TestFiles.h"
#include "support/ToneLevel.h"
#include "support/VideoFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace kestrel;
using namespace kestrel::test;

namespace {

// A red 1280 x 720 clip of two seconds at 25 pictures a second, with a
// stereo tone (440 Hz left, 1000 Hz right) at 48000 Hz; made once.
const std::string& red_clip() {
    static TempDir folder;
    static std::string path;
    if (path.empty()) {
        video_clip clip;
        clip.width = 1280;
        clip.height = 720;
        clip.colour = "red";
        clip.sound = true;
        path = folder.file("réd.mp4");
        make_video_clip(path, clip);
    }
    return path;
}

std::vector<double> read_left(audio_source& audio, double ms) {
    std::vector<double> left;
    while (audio_data_timed_ptr block = audio.read(ms)) {
        const std::vector<double> part = channel_samples(*block->data, 0);
        left.insert(left.end(), part.begin(), part.end());
    }
    return left;
}

int count_pictures(video_source& video) {
    int count = 0;
    while (video.read())
        ++count;
    return count;
}

} // namespace

TEST(AVVideoFile, ScaledPicturesAndConvertedSound) {
    av_source_ptr file = create_av_video_file(red_clip().c_str());
    video_source* video = file->video();
    audio_source* audio = file->audio();
    ASSERT_TRUE(video && audio);
    EXPECT_TRUE(video->enabled() && audio->enabled());
    EXPECT_EQ(640, video->format()->width());
    EXPECT_EQ(360, video->format()->height());
    EXPECT_EQ(2, video->format()->pixel_format());
    EXPECT_DOUBLE_EQ(25.0, video->frame_rate());
    EXPECT_NEAR(2000.0, video->duration(), 1.0);
    EXPECT_EQ(44100, audio->format()->sample_rate());
    EXPECT_EQ(sample_format_s16, audio->format()->sample_format());
    EXPECT_EQ(2, audio->format()->channels());
    EXPECT_EQ(3u, audio->format()->channel_layout());

    video_data_timed_ptr picture = video->read();
    ASSERT_TRUE(picture);
    EXPECT_EQ(640, picture->data->width());
    EXPECT_EQ(360, picture->data->height());
    EXPECT_DOUBLE_EQ(0.0, picture->start);
    EXPECT_DOUBLE_EQ(40.0, picture->duration);
    const uint8_t* middle = picture->data->plane_data(0) + 180 * picture->data->line_size(0) + 960;
    EXPECT_NEAR(255, middle[0], 4);
    EXPECT_NEAR(0, middle[1], 4);
    EXPECT_NEAR(0, middle[2], 4);

    double expected_start = 0.0;
    for (double asked : {40.0, 1000.0, 40.0}) {
        audio_data_timed_ptr block = audio->read(asked);
        ASSERT_TRUE(block);
        EXPECT_EQ(static_cast<unsigned int>(asked * 44.1), block->data->samples());
        EXPECT_DOUBLE_EQ(expected_start, block->start);
        expected_start += 1000.0 * block->data->samples() / 44100;
        EXPECT_DOUBLE_EQ(expected_start, audio->position());
    }
    EXPECT_FALSE(audio->read(0.01)); // under one frame, even mid-file
    EXPECT_FALSE(audio->read(-5.0));
    EXPECT_FALSE(audio->read(std::nan("")));

    file->apply_settings(media_settings::create("width", 320));
    EXPECT_EQ(640, video->format()->width());
}

// Reading only pictures keeps the sound read on the way for later: it then
// plays from its start, whole, with its last block shorter than asked.
TEST(AVVideoFile, EveryPictureThenEverySample) {
    av_source_ptr file = create_av_video_file(red_clip().c_str());
    EXPECT_EQ(50, count_pictures(*file->video())); // held-back pictures included
    EXPECT_FALSE(file->video()->read());
    EXPECT_DOUBLE_EQ(1960.0, file->video()->position());

    std::vector<double> left;
    unsigned int last = 0;
    while (audio_data_timed_ptr block = file->audio()->read(100.0)) {
        last = block->data->samples();
        const std::vector<double> part = channel_samples(*block->data, 0);
        left.insert(left.end(), part.begin(), part.end());
    }
    EXPECT_NEAR(2 * 44100.0, static_cast<double>(left.size()), 1100.0);
    EXPECT_LT(last, 4410u);
    EXPECT_TRUE(carries_tone(left, 44100, 440.0, 1000.0));
    EXPECT_FALSE(file->audio()->read(100.0));
}

TEST(AVVideoFile, AdvanceReadsPicturesForTheTimeGiven) {
    av_source_ptr file = create_av_video_file(red_clip().c_str());
    video_source* video = file->video();
    EXPECT_DOUBLE_EQ(0.0, video->advance(0.0));
    EXPECT_DOUBLE_EQ(0.0, video->advance(-5.0));
    EXPECT_DOUBLE_EQ(160.0, video->advance(200.0)); // five pictures of 40 ms
    EXPECT_DOUBLE_EQ(200.0, video->read()->start);
    EXPECT_DOUBLE_EQ(100.0, file->audio()->advance(100.0));
}

// After a seek the sound goes on from the new time at once; the pictures
// start again at the key picture at or before it (one a second here), and
// an ended file reads again.
TEST(AVVideoFile, SeekRules) {
    av_source_ptr file = create_av_video_file(red_clip().c_str());
    video_source* video = file->video();
    audio_source* audio = file->audio();
    count_pictures(*video);
    read_left(*audio, 250.0);
    EXPECT_DOUBLE_EQ(1600.0, file->seek(1600.0));
    EXPECT_DOUBLE_EQ(1600.0, audio->position());
    EXPECT_DOUBLE_EQ(1960.0, video->position()); // until the next picture
    video_data_timed_ptr picture = video->read();
    ASSERT_TRUE(picture);
    EXPECT_DOUBLE_EQ(1000.0, picture->start);
    audio_data_timed_ptr block = audio->read(40.0);
    ASSERT_TRUE(block);
    EXPECT_DOUBLE_EQ(1600.0, block->start);
    EXPECT_EQ(24, count_pictures(*video));

    EXPECT_THROW(file->seek(std::nan("")), errors::invalid_argument);
    file->seek(std::numeric_limits<double>::infinity()); // to the end, or refused
}

// A source switched off drops its stream's packets; switched on again it
// starts from what comes next. Switching on a source that is on changes
// nothing.
TEST(AVVideoFile, SwitchingSourcesOffAndOn) {
    av_source_ptr file = create_av_video_file(red_clip().c_str());
    video_source* video = file->video();
    audio_source* audio = file->audio();
    ASSERT_TRUE(video->read());
    audio->set_enabled(true); // already on: the sound read on the way stays
    audio_data_timed_ptr first = audio->read(40.0);
    ASSERT_TRUE(first);

    audio->set_enabled(false);
    EXPECT_FALSE(audio->enabled());
    EXPECT_FALSE(audio->read(40.0));
    count_pictures(*video);
    audio->set_enabled(true);
    EXPECT_FALSE(audio->read(40.0)); // the file's sound went by while it was off

    video->set_enabled(false);
    EXPECT_FALSE(video->read());
}

// Two transport streams joined with cat, the second of a smaller size:
// every picture comes out in the one output format, each of its own part.
TEST(AVVideoFile, PicturesOfAnotherSizeMidwayAreScaledToTheSame) {
    TempDir dir;
    video_clip big;
    big.container = "mpegts";
    big.width = 320;
    big.height = 240;
    big.seconds = 0.4;
    big.colour = "red";
    video_clip small = big;
    small.width = 160;
    small.height = 120;
    small.colour = "blue";
    make_video_clip(dir.file("a.ts"), big);
    make_video_clip(dir.file("b.ts"), small);
    const std::string joined = dir.file("jöined.ts");
    write_file(joined, read_file(dir.file("a.ts")) + read_file(dir.file("b.ts")));

    av_source_ptr file = create_av_video_file(joined.c_str());
    std::vector<int> blues;
    while (video_data_timed_ptr picture = file->video()->read()) {
        ASSERT_EQ(640, picture->data->width());
        ASSERT_EQ(480, picture->data->height());
        const uint8_t* pixel = picture->data->plane_data(0) + 240 * picture->data->line_size(0);
        blues.push_back(pixel[2] > 128 ? 1 : 0);
    }
    EXPECT_EQ((std::vector<int>(10, 0)), std::vector<int>(blues.begin(), blues.begin() + 10));
    EXPECT_EQ((std::vector<int>(10, 1)), std::vector<int>(blues.begin() + 10, blues.end()));
}

TEST(AVVideoFile, FilesWithOneKindOfStream) {
    av_source_ptr sound = create_av_video_file(sample_tone_file("wav").c_str());
    EXPECT_EQ(nullptr, sound->video());
    ASSERT_NE(nullptr, sound->audio());
    EXPECT_TRUE(carries_tone(read_left(*sound->audio(), 100.0), 44100, 440.0, 1000.0));
    EXPECT_DOUBLE_EQ(250.0, sound->seek(250.0));
    EXPECT_TRUE(sound->audio()->read(100.0));

    TempDir dir;
    const std::string pictures = dir.file("bïld.mkv");
    make_video_only_file(pictures);
    av_source_ptr film = create_av_video_file(pictures.c_str());
    EXPECT_EQ(nullptr, film->audio());
    ASSERT_NE(nullptr, film->video());
    EXPECT_EQ(640, film->video()->format()->height()); // 16 x 16 scales to 640 x 640
    EXPECT_EQ(2, count_pictures(*film->video()));
    EXPECT_DOUBLE_EQ(0.0, film->seek(0.0));
    EXPECT_EQ(2, count_pictures(*film->video()));

    const std::string two = dir.file("twö.mkv");
    make_two_audio_streams_file(two, 440.0, 1000.0);
    av_source_ptr first_of_two = create_av_video_file(two.c_str());
    EXPECT_TRUE(carries_tone(read_left(*first_of_two->audio(), 100.0), 44100, 440.0, 1000.0));
}

TEST(AVVideoFile, FilesThatAreNoMediaAreRefused) {
    TempDir dir;
    EXPECT_THROW(create_av_video_file(dir.file("nöne.mp4").c_str()), media_splitter::error);
    const std::string words = dir.file("wörds.mp4");
    write_file(words, "no pictures here");
    EXPECT_THROW(create_av_video_file(words.c_str()), media_splitter::error);
}
