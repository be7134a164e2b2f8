#include "encoders/DTAudioEncoderQueueLame.h"

#include "base/DTUtils.h"
#include "encoders/DTLameEncoder.h"

#include <boost/make_shared.hpp>

#include <vector>

namespace kestrel {

namespace {

// What LAME's tag calls are given first; a larger tag is fetched again
// into a buffer of the size LAME asks for.
const std::size_t tag_buffer_size = 0x24000;

const audio_format& checked_format(const audio_format* format) {
    if (!format)
        KESTREL_THROW(errors::invalid_pointer());
    // LAME reads 16-bit samples, two per frame for stereo: a block of any
    // other layout would be read past its end.
    if (format->sample_format() != sample_format_s16)
        KESTREL_THROW(errors::invalid_argument());
    return *format;
}

} // namespace

namespace audio_encoder_lame_utils {

properties_ptr create_properties() {
    return boost::make_shared<properties>(properties{std::string(), std::string(), 0});
}

properties_ptr create_properties(const char* artist, const char* title, int bitrate) {
    return boost::make_shared<properties>(
        properties{artist ? artist : "", title ? title : "", bitrate});
}

} // namespace audio_encoder_lame_utils

audio_encoder_queue_lame_impl::audio_encoder_queue_lame_impl(
    const audio_format* format, const audio_encoder_lame_utils::properties* properties)
    : samples_(audio_buffer::create(0, &checked_format(format))),
      packet_frames_(static_cast<unsigned int>(format->sample_rate())) {
    if (!properties)
        KESTREL_THROW(errors::invalid_pointer());
    encoder_.reset(new lame_encoder_impl_internal());
    encoder_->set_input_sample_rate(format->sample_rate());
    encoder_->set_channels_count(format->channels());
    if (format->channels() == 1)
        encoder_->set_stereo_mode(MONO);
    if (properties->bitrate > 0)
        encoder_->set_bit_rate(properties->bitrate);
    else
        encoder_->set_preset(V2);
    encoder_->set_quality(5);
    const std::wstring artist = utf8_to_wide(properties->artist);
    if (!artist.empty())
        encoder_->set_artist_ucs2(artist);
    const std::wstring title = utf8_to_wide(properties->title);
    if (!title.empty())
        encoder_->set_title_ucs2(title);
    encoder_->start();

    tags_ = boost::make_shared<codec_extra_data_common>();
    add_tag("ID3V2TAG", [](lame_global_flags* lame, unsigned char* buffer, std::size_t size) {
        return lame_get_id3v2_tag(lame, buffer, size);
    });
}

audio_encoder_queue_lame_impl::~audio_encoder_queue_lame_impl() = default;

template <class Fetch>
void audio_encoder_queue_lame_impl::add_tag(const char* name, Fetch fetch) {
    std::vector<unsigned char> buffer(tag_buffer_size);
    std::size_t size = fetch(encoder_->handle(), buffer.data(), buffer.size());
    if (size > buffer.size()) { // LAME tells the size it needs instead
        buffer.resize(size);
        size = fetch(encoder_->handle(), buffer.data(), buffer.size());
    }
    tags_->setter()->add_data(name, buffer.data(), size <= buffer.size() ? size : 0,
                              dt_buffer_copy);
}

void audio_encoder_queue_lame_impl::send(const audio_data* block) {
    if (!block) {
        ended_ = true;
        return;
    }
    samples_->push_back(block);
    ended_ = false;
}

void audio_encoder_queue_lame_impl::send_timed(const audio_data_timed* block) {
    if (!block)
        return;
    const audio_data_ptr data = block->data; // alive for the whole call
    send(data.get());
}

media_packet_ptr audio_encoder_queue_lame_impl::get_packet() {
    if (samples_->size() > packet_frames_)
        return encoder_->encode(samples_->pop(packet_frames_).get());
    if (!ended_)
        return media_packet_ptr();
    if (samples_->size() > 0)
        return encoder_->encode(samples_->pop(samples_->size()).get());
    media_packet_ptr last = encoder_->flush();
    add_tag("ID3V1TAG", [](lame_global_flags* lame, unsigned char* buffer, std::size_t size) {
        return lame_get_id3v1_tag(lame, buffer, size);
    });
    add_tag("LAMETAG", [](lame_global_flags* lame, unsigned char* buffer, std::size_t size) {
        return lame_get_lametag_frame(lame, buffer, size);
    });
    ended_ = false;
    return last;
}

audio_encoder_queue_lame::audio_encoder_queue_lame(
    const audio_format* format, const audio_encoder_lame_utils::properties* properties)
    : audio_encoder_queue(new audio_encoder_queue_lame_impl(format, properties)) {}

audio_encoder_queue_ptr create_lame_audio_encoder(const audio_format* format) {
    return boost::make_shared<audio_encoder_queue_lame>(
        format, audio_encoder_lame_utils::create_properties().get());
}

audio_encoder_queue_ptr create_lame_audio_encoder(const audio_format* format, const char* artist,
                                                  const char* title, int bitrate) {
    return boost::make_shared<audio_encoder_queue_lame>(
        format, audio_encoder_lame_utils::create_properties(artist, title, bitrate).get());
}

} // namespace kestrel
