#include "audio/DTAudioTrackFile.h"
#include "audio/DTAudioTrackLoader.h"

#include "support/LogLines.h"
#include "support/MusicFiles.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace kestrel;
using namespace kestrel::test;

namespace {

// Collects the loader's callbacks, which come on the loader threads.
class callbacks {
public:
    audio_track_callback receiver() {
        return [this](audio_track_ptr track) {
            std::lock_guard<std::mutex> lock(mutex_);
            tracks_.push_back(track);
            arrived_.notify_all();
        };
    }
    // Waits for n callbacks, then a little longer for any surplus one.
    std::vector<audio_track_ptr> wait_for(std::size_t n) {
        std::unique_lock<std::mutex> lock(mutex_);
        arrived_.wait_for(lock, std::chrono::seconds(20), [&] { return tracks_.size() >= n; });
        arrived_.wait_for(lock, std::chrono::milliseconds(50), [&] { return tracks_.size() > n; });
        return tracks_;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<audio_track_ptr> tracks_;
};

} // namespace

// The callback only learns "no track": the log line, written before it,
// names the file and says why, with what the error adds to the reason.
TEST(AudioTrackLoader, FileThatCannotBeOpenedGivesOneEmptyCallbackAndALogLine) {
    TempDir dir;
    const std::string missing = dir.file("nöt-there.mp3");
    const std::string film = dir.file("stümm.mkv");
    make_video_only_file(film);
    const std::pair<std::string, std::string> cases[] = {
        {missing, "not found (av_open_input_file failed, code 2, at "},
        {film, "no sound in it (no audio stream, at DTAudioTrackFile.cpp:"}};
    for (const auto& c : cases) {
        callbacks received;
        testing::internal::CaptureStdout();
        open_audio_track_async(c.first.c_str(), nullptr, true, received.receiver());
        const std::vector<audio_track_ptr> tracks = received.wait_for(1);
        const std::string log = testing::internal::GetCapturedStdout();
        ASSERT_EQ(1u, tracks.size()) << c.first;
        EXPECT_FALSE(tracks[0]);
        const std::vector<std::string> lines = log_lines_with(log, "[open_audio_track]");
        ASSERT_EQ(1u, lines.size()) << log;
        EXPECT_EQ(0u, lines[0].find("[kestrel][warning][open_audio_track] \"" + c.first + "\" not opened: " + c.second))
            << log;
    }
}

TEST(AudioTrackLoader, OpensWithItsOwnCopiesOfTheArguments) {
    callbacks received;
    {
        std::string path = sample_tone_file("ogg");
        audio_format_ptr format = audio_format::create(48000, sample_format_s16, 1, 4);
        open_audio_track_async(path.c_str(), format.get(), false, received.receiver());
        open_audio_track_async(path.c_str(), nullptr, true, received.receiver());
        path.assign(path.size(), 'x'); // the caller's objects change and go
    }
    const std::vector<audio_track_ptr> tracks = received.wait_for(2);
    ASSERT_EQ(2u, tracks.size());
    std::vector<int> rates;
    for (const audio_track_ptr& track : tracks) {
        ASSERT_TRUE(track);
        rates.push_back(track->format()->sample_rate());
        EXPECT_TRUE(track->read(100.0));
    }
    std::sort(rates.begin(), rates.end());
    EXPECT_EQ((std::vector<int>{44100, 48000}), rates);
}

TEST(AudioTrackFile, SharedBetweenTwoReaders) {
    audio_track_file track(sample_tone_file("mp3"), nullptr, true);
    std::mutex starts_mutex;
    std::vector<double> starts;
    auto reader = [&] {
        for (int i = 0; i < 15; ++i) {
            audio_data_timed_ptr block = track.read(100.0);
            ASSERT_TRUE(block);
            EXPECT_EQ(4410u, block->data->samples());
            std::lock_guard<std::mutex> lock(starts_mutex);
            starts.push_back(block->start);
        }
    };
    std::thread sound(reader), producer(reader);
    track.seek(100000.0); // a seek from a third thread meanwhile
    sound.join();
    producer.join();

    // Every block came out once, whichever thread took it.
    std::sort(starts.begin(), starts.end());
    ASSERT_EQ(30u, starts.size());
    for (std::size_t i = 1; i < starts.size(); ++i)
        EXPECT_GT(starts[i], starts[i - 1]);
    EXPECT_GT(track.position(), track.duration());
}
