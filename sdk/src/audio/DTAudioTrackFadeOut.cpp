#include "audio/DTAudioTrackFadeOut.h"

#include <boost/make_shared.hpp>

#include <algorithm>

namespace kestrel {

namespace {
audio_track* checked(audio_track* inner) {
    if (!inner)
        KESTREL_THROW(errors::invalid_pointer());
    return inner;
}
} // namespace

audio_track_fade_out::audio_track_fade_out(audio_track* inner)
    : inner_(checked(inner)), params_(new fade_params()) {}

void audio_track_fade_out::set_params(double fade_start, double fade_length, double third) {
    params_->start = fade_start;
    params_->length = fade_length;
    params_->third = third;
}

audio_data_timed_ptr audio_track_fade_out::read(double duration) {
    const double position = inner_->position();
    if (position + duration < params_->start)
        return inner_->read(duration);

    const double left = std::min(duration, params_->start + params_->length - position);
    if (left <= 0.0)
        return audio_data_timed_ptr();

    // A track that cannot say what it delivers has nothing to fade.
    const audio_format_ptr track_format = format();
    if (!track_format)
        return audio_data_timed_ptr();
    params_->envelope = boost::make_shared<audio_filter_envelope>(track_format.get());
    // The ramp's times count from the start of the block about to be read.
    const double t0 = params_->start - position;
    const double t1 = t0 + params_->length;
    params_->envelope->set_params(
        media_settings::create()->set("t0", t0)->set("t1", t1)->set("l0", 1.0)->set("l1", 0.0));

    const audio_data_timed_ptr block = inner_->read(duration);
    if (!block)
        return audio_data_timed_ptr();
    params_->envelope->push_back(block->data.get());
    audio_data_ptr faded = params_->envelope->pop(params_->envelope->size());
    return boost::make_shared<audio_data_timed>(faded, block->duration, block->start);
}

} // namespace kestrel
