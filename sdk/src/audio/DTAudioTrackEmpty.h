#pragma once
// Silence of a given format and length; without a length it never ends.
// The slideshow plays it while no music is chosen.

#include "audio/DTAudioTrack.h"

namespace kestrel {

class audio_track_empty : public audio_track {
public:
    // A copy of the format; null means 44100 Hz signed 16-bit stereo.
    audio_track_empty(const audio_format* format, double duration);
    // Lasts DBL_MAX ms.
    explicit audio_track_empty(const audio_format* format);

    static audio_track_ptr create(const audio_format* format, double duration);

    double duration() const override { return duration_; }
    double position() const override { return position_; }
    // Neither clamps to the length nor refuses negative times.
    double advance(double dt) override { return position_ += dt; }
    double seek(double t) override { return position_ = t; }
    // At most `duration` ms of silence (and at most 64 MiB of it) starting
    // at the position; empty once the position has reached the length.
    audio_data_timed_ptr read(double duration) override;
    audio_format_ptr format() const override { return format_; }

private:
    audio_format_ptr format_;
    double position_ = 0.0;
    double duration_;
};

audio_track_ptr create_audio_track_empty(const audio_format* format);

} // namespace kestrel
