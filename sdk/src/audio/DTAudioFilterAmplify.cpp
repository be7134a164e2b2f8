#include "audio/DTAudioFilterAmplify.h"

#include <boost/make_shared.hpp>

namespace kestrel {

void audio_filter_amplify_impl::set_params(const media_settings* settings) {
    if (settings)
        gain_ = settings->get<double>("gain");
}

void audio_filter_amplify_impl::process(float* samples, int channels, unsigned int frames) {
    const std::size_t count = static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = clip(static_cast<float>(gain_ * samples[i]));
}

audio_filter_ptr audio_filter_amplify::create(const audio_format* format) {
    return boost::make_shared<audio_filter_amplify>(format);
}

} // namespace kestrel
