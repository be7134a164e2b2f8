#pragma once
// Multiplies every sample by "gain" (1.0 until set) and clips to full scale.

#include "audio/DTAudioFilter.h"

namespace kestrel {

class audio_filter_amplify_impl : public audio_filter_float_impl {
public:
    explicit audio_filter_amplify_impl(const audio_format* format)
        : audio_filter_float_impl(format) {}

    // Reads "gain"; a null map changes nothing.
    void set_params(const media_settings* settings) override;

private:
    void process(float* samples, int channels, unsigned int frames) override;

    double gain_ = 1.0;
};

class audio_filter_amplify : public audio_filter {
public:
    explicit audio_filter_amplify(const audio_format* format)
        : audio_filter(new audio_filter_amplify_impl(format)) {}

    static audio_filter_ptr create(const audio_format* format);
};

} // namespace kestrel
