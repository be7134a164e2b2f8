#include "encoders/DTAudioEncoderQueue.h"

namespace kestrel {

template class encoder_factory<audio_encoder_queue, audio_encoder_queue::Impl, media_settings>;

audio_encoder_queue::error::error(const char* text)
    : errors::dt_error(std::string("audio encoder: ") + (text ? text : "")) {}

audio_encoder_queue::Impl::~Impl() = default;

void* audio_encoder_queue::Impl::codec_context() { return nullptr; }

audio_encoder_queue_ptr audio_encoder_queue_creator::create(const std::string& name,
                                                            const audio_format* input,
                                                            media_settings_ptr settings) {
    return create_impl(name, input, settings);
}

audio_encoder_queue_ptr audio_encoder_queue_creator::create_impl(const std::string& name,
                                                                 const audio_format* input,
                                                                 media_settings_ptr settings) {
    std::string short_name;
    if (!encoder_short_name(name, short_name))
        KESTREL_THROW(errors::invalid_operation());
    const media_settings_ptr encoder_settings = media_settings::clone(settings);
    encoder_settings->merge(audio_format_to_media_settings(input));
    return audio_encoder_factory::create(short_name, encoder_settings);
}

} // namespace kestrel
