#pragma once
// Plays an inner track unchanged until the fade start, fades it linearly
// to silence over the fade length and ends there, however much the inner
// track still holds. The phase follows the inner track's position alone,
// so moving the inner track back before the fade plays it again.

#include "audio/DTAudioFilterEnvelope.h"
#include "audio/DTAudioTrack.h"

#include <boost/shared_ptr.hpp>

#include <memory>

namespace kestrel {

class audio_track_fade_out : public audio_track {
public:
    // The inner track is not owned: its creator keeps it alive for the
    // fade-out track's whole life. Null throws errors::invalid_pointer.
    explicit audio_track_fade_out(audio_track* inner);

    // Times in ms on the inner track's time line; the third value is kept
    // but changes nothing. Takes effect at the next read.
    void set_params(double fade_start, double fade_length, double third);

    double duration() const override { return inner_->duration(); }
    double position() const override { return inner_->position(); }
    double advance(double dt) override { return inner_->advance(dt); }
    double seek(double t) override { return inner_->seek(t); }
    // A block that reaches into the fade comes back scaled, whole, with
    // its own duration and start; from the fade's end on, nothing.
    audio_data_timed_ptr read(double duration) override;
    audio_format_ptr format() const override { return inner_->format(); }

private:
    struct fade_params {
        double start = 0.0;
        double length = 0.0;
        double third = 0.0;
        // Made by the latest read inside the fade.
        boost::shared_ptr<audio_filter_envelope> envelope;
    };

    audio_track* inner_;
    std::unique_ptr<fade_params> params_;
};

} // namespace kestrel
