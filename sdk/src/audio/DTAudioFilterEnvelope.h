#pragma once
// Multiplies every frame by a level that is "l0" until "t0", moves in a
// straight line to "l1" at "t1" and stays there; times in milliseconds
// after the first frame pushed since the parameters were set. Loud
// samples are clipped to full scale.

#include "audio/DTAudioFilter.h"

#include <cstdint>

namespace kestrel {

class audio_filter_envelope_impl : public audio_filter_float_impl {
public:
    explicit audio_filter_envelope_impl(const audio_format* format)
        : audio_filter_float_impl(format) {}

    // Restarts the time line, then reads "t0", "l0", "t1" and "l1".
    void set_params(const media_settings* settings) override;

private:
    void process(float* samples, int channels, unsigned int frames) override;
    double level(int64_t frame) const;

    double t0_ = 0.0;
    double l0_ = 0.0;
    double t1_ = 0.0;
    double l1_ = 0.0;
    int64_t s0_ = 0;
    int64_t s1_ = 0;
    int64_t position_ = 0;
};

class audio_filter_envelope : public audio_filter {
public:
    explicit audio_filter_envelope(const audio_format* format)
        : audio_filter(new audio_filter_envelope_impl(format)) {}
};

} // namespace kestrel
