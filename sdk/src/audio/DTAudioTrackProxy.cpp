#include "audio/DTAudioTrackProxy.h"

namespace kestrel {

audio_track_proxy::audio_track_proxy(const audio_track_ptr& inner,
                                     const duration_function& duration)
    : inner_(inner), duration_(duration) {}

audio_track_proxy::audio_track_proxy(const duration_function& duration) : duration_(duration) {}

void audio_track_proxy::reset(const audio_track_ptr& inner, const duration_function& duration) {
    inner_ = inner;
    duration_ = duration;
}

double audio_track_proxy::duration() const {
    if (duration_) {
        const double own = duration_();
        if (own > 0.0)
            return own;
    }
    return inner_ ? inner_->duration() : 0.0;
}

double audio_track_proxy::position() const { return inner_ ? inner_->position() : 0.0; }

double audio_track_proxy::advance(double dt) { return inner_ ? inner_->advance(dt) : 0.0; }

double audio_track_proxy::seek(double t) { return inner_ ? inner_->seek(t) : 0.0; }

audio_data_timed_ptr audio_track_proxy::read(double duration) {
    return inner_ ? inner_->read(duration) : audio_data_timed_ptr();
}

audio_format_ptr audio_track_proxy::format() const {
    return inner_ ? inner_->format() : audio_format_ptr();
}

} // namespace kestrel
