#include "audio/DTAudioFilter.h"

namespace kestrel {

namespace {
const audio_format& checked(const audio_format* format) {
    if (!format)
        KESTREL_THROW(errors::invalid_pointer());
    return *format;
}
} // namespace

audio_filter_float_impl::audio_filter_float_impl(const audio_format* format)
    : format_(audio_format::copy(checked(format))),
      float_format_(audio_format::create(format->sample_rate(), sample_format_flt,
                                         format->channels(), format->channel_layout())) {
    to_float_ = create_audio_convert(float_format_.get(), format_.get());
    from_float_ = create_audio_convert(format_.get(), float_format_.get());
}

void audio_filter_float_impl::push_back(const audio_data* block) {
    to_float_->push_back(block);
    process_pushed();
}

void audio_filter_float_impl::push(const uint8_t* bytes, unsigned int size) {
    to_float_->push(bytes, size);
    process_pushed();
}

void audio_filter_float_impl::process_pushed() {
    audio_data_ptr floats = to_float_->pop(to_float_->size());
    float* samples = reinterpret_cast<float*>(floats->lock());
    process(samples, floats->channels(), floats->samples());
    floats->unlock();
    from_float_->push_back(floats.get());
}

} // namespace kestrel
