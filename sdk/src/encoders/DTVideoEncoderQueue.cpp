#include "encoders/DTVideoEncoderQueue.h"

namespace kestrel {

template class encoder_factory<video_encoder_queue, video_encoder_queue::Impl, media_settings>;

video_encoder_queue::error::error(const char* text)
    : errors::dt_error(std::string("video encoder: ") + (text ? text : "")) {}

video_encoder_queue::Impl::~Impl() = default;

void video_encoder_queue::Impl::send_timed(const video_data_timed* frame) {
    if (!frame)
        return;
    const video_data_ptr picture = frame->data; // alive for the whole call
    send(picture.get());
}

void* video_encoder_queue::Impl::codec_context() { return nullptr; }

video_encoder_queue_ptr video_encoder_queue_creator::create(const std::string& name,
                                                            media_settings_ptr settings) {
    return create(name.c_str(), settings);
}

video_encoder_queue_ptr video_encoder_queue_creator::create(const char* name,
                                                            media_settings_ptr settings) {
    return create_impl(name, settings);
}

video_encoder_queue_ptr video_encoder_queue_creator::create(const char* name) {
    return create_impl(name, media_settings_ptr());
}

video_encoder_queue_ptr video_encoder_queue_creator::create(media_settings_ptr settings) {
    const std::string name = settings ? settings->get("video_encoder") : std::string();
    return create_impl(name.c_str(), settings);
}

video_encoder_queue_ptr video_encoder_queue_creator::create_impl(const char* name,
                                                                 media_settings_ptr settings) {
    std::string short_name;
    if (!encoder_short_name(name ? name : "", short_name))
        KESTREL_THROW(errors::invalid_operation());
    return video_encoder_factory::create(short_name, settings);
}

} // namespace kestrel
