#pragma once
// Sources from which the preview player and the producer pull timed
// pictures and sound. Times are milliseconds; a read that returns an empty
// pointer has reached the end.

#include "audio/DTAudioTrack.h"
#include "base/DTTypes.h"
#include "media/DTAudioData.h"
#include "media/DTAudioFormat.h"
#include "media/DTVideoData.h"
#include "media/DTVideoFormat.h"

namespace kestrel {

class media_source {
public:
    virtual double duration() const = 0;
    virtual double position() const = 0;
    // Moves forward by dt, dropping what lies in between; returns the new
    // position.
    virtual double advance(double dt) = 0;
    virtual bool enabled() const = 0;
    virtual void set_enabled(bool enabled) = 0;
    virtual ~media_source();
};

class video_source : public media_source {
public:
    virtual video_data_timed_ptr read() = 0;
    // Whether read() answers without waiting for a picture still being
    // made (a source that makes its pictures on the caller's thread always
    // does).
    virtual bool picture_at_hand() const { return true; }
    // What a reader that must not wait (the window's thread) gets: the
    // next picture now, the end, or none yet (still being made; ask again
    // later). By default read(), which such a source answers at once.
    enum class answer { picture, end, not_yet };
    virtual answer read_now(video_data_timed_ptr& picture);
    virtual video_format_ptr format() const = 0;
    virtual double frame_rate() const = 0;
};

class audio_source : public media_source {
public:
    // The next block of at most `duration` ms.
    virtual audio_data_timed_ptr read(double duration) = 0;
    virtual audio_format_ptr format() const = 0;
};

// Forwards to a target that its owner sets and replaces, and keeps alive
// while it is set. Without a target it is an empty source of length 0.
class video_source_proxy : public video_source {
public:
    double duration() const override;
    double position() const override;
    double advance(double dt) override;
    bool enabled() const override;
    void set_enabled(bool enabled) override;
    video_data_timed_ptr read() override;
    bool picture_at_hand() const override;
    answer read_now(video_data_timed_ptr& picture) override;
    video_format_ptr format() const override;
    double frame_rate() const override;

    void set_target(video_source* target) { target_ = target; }
    video_source* target() const { return target_; }

private:
    video_source* target_ = nullptr; // not owned
};

// An audio track seen as a source; always enabled. The creator keeps the
// track alive for the source's life. The track's seek is not reachable here.
class audio_source_from_track : public audio_source {
public:
    explicit audio_source_from_track(audio_track* track) : track_(track) {}

    double duration() const override { return track_->duration(); }
    double position() const override { return track_->position(); }
    double advance(double dt) override { return track_->advance(dt); }
    bool enabled() const override { return true; }
    void set_enabled(bool) override {}
    audio_data_timed_ptr read(double duration) override { return track_->read(duration); }
    audio_format_ptr format() const override { return track_->format(); }

private:
    audio_track* track_; // not owned
};

} // namespace kestrel
