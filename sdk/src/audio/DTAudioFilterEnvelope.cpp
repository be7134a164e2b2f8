#include "audio/DTAudioFilterEnvelope.h"

namespace kestrel {

void audio_filter_envelope_impl::set_params(const media_settings* settings) {
    position_ = 0;
    if (!settings)
        return;
    t0_ = settings->get<double>("t0");
    l0_ = settings->get<double>("l0");
    t1_ = settings->get<double>("t1");
    l1_ = settings->get<double>("l1");
    const double rate = own_format().sample_rate();
    s0_ = static_cast<int64_t>(t0_ / 1000.0 * rate);
    s1_ = static_cast<int64_t>(t1_ / 1000.0 * rate);
}

double audio_filter_envelope_impl::level(int64_t frame) const {
    if (frame < s0_)
        return l0_;
    // A ramp of no length (s0 == s1) has reached its end level.
    if (frame > s1_ || s0_ == s1_)
        return l1_;
    return l0_ + static_cast<double>(frame - s0_) * (l1_ - l0_) / static_cast<double>(s1_ - s0_);
}

void audio_filter_envelope_impl::process(float* samples, int channels, unsigned int frames) {
    for (unsigned int frame = 0; frame < frames; ++frame, ++position_) {
        const float frame_level = static_cast<float>(level(position_));
        for (int channel = 0; channel < channels; ++channel, ++samples)
            *samples = clip(static_cast<double>(*samples) * frame_level);
    }
}

} // namespace kestrel
