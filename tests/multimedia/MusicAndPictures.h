#pragma once
// A show for the preview's tests: pictures made in the test (SyntheticShow)
// and sound from a music file, what is asked of the music watched; a seek
// moves both. The music may answer late after each move, as a disk whose
// first read after a move comes from its cache and the next from the disk.

#include "sources/DTAVSource.h"
#include "sources/DTMediaSource.h"
#include "support/SyntheticShow.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace Multimedia {
namespace test {

// Marks a call under way.
struct Asking {
    std::atomic<bool>& flag;
    explicit Asking(std::atomic<bool>& flag) : flag(flag) { flag = true; }
    ~Asking() { flag = false; }
};

// Music whose reader can be seen waiting in a read, and whose second read
// after a move may wait `lateMs` first.
class WatchedSound : public kestrel::audio_source_from_track {
public:
    using audio_source_from_track::audio_source_from_track;
    kestrel::audio_data_timed_ptr read(double duration) override
    {
        const Asking reading(reading_);
        if (++readsSinceMove_ == 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(lateMs));
        return audio_source_from_track::read(duration);
    }
    bool reading() const { return reading_; }
    void moved() { readsSinceMove_ = 0; }

    std::atomic<long long> lateMs{0};

private:
    std::atomic<bool> reading_{false};
    std::atomic<int> readsSinceMove_{0};
};

class MusicAndPictures : public kestrel::av_source::Impl {
public:
    MusicAndPictures(kestrel::audio_track_ptr music, double picturesMs)
        : music_(std::move(music)), sound_(music_.get()), pictures_(picturesAlone(picturesMs))
    {
    }
    kestrel::video_source* video() override { return pictures_->video(); }
    kestrel::audio_source* audio() override { return &sound_; }
    double seek(double t) override
    {
        {
            const Asking moving(moving_);
            music_->seek(t);
            sound_.moved();
        }
        return pictures_->seek(t);
    }
    void apply_settings(kestrel::media_settings_ptr) override {}
    // A read or a move of the music is under way.
    bool soundAsked() const { return sound_.reading() || moving_; }
    // The second read of the music after each move waits `late` first.
    void answerLateAfterAMove(std::chrono::milliseconds late) { sound_.lateMs = late.count(); }

private:
    static kestrel::av_source_ptr picturesAlone(double ms)
    {
        kestrel::test::show_spec spec;
        spec.duration_ms = ms;
        spec.sound = false;
        return kestrel::test::make_synthetic_show(spec);
    }

    kestrel::audio_track_ptr music_;
    WatchedSound sound_;
    std::atomic<bool> moving_{false};
    kestrel::av_source_ptr pictures_;
};

} // namespace test
} // namespace Multimedia
