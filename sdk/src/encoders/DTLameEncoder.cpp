#include "encoders/DTLameEncoder.h"

#include "base/DTErrors.h"
#include "encoders/DTAudioEncoderQueue.h"

#include <boost/make_shared.hpp>

#include <vector>

namespace kestrel {

namespace {

// LAME's worst case for n sample frames is 1.25 n + 7200 bytes.
std::size_t worst_case_bytes(unsigned int frames) {
    return static_cast<std::size_t>(1.25 * frames) + 7200;
}

// UTF-16 units after a byte-order mark, ended by a 0 unit, as
// id3tag_set_textinfo_utf16 reads them.
std::vector<unsigned short> utf16_with_bom(const std::wstring& text) {
    std::vector<unsigned short> units(1, 0xFEFF);
    for (wchar_t c : text) {
        const unsigned long code = static_cast<unsigned long>(c);
        if (code > 0xFFFF) {
            units.push_back(static_cast<unsigned short>(0xD800 + ((code - 0x10000) >> 10)));
            units.push_back(static_cast<unsigned short>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<unsigned short>(code));
        }
    }
    units.push_back(0);
    return units;
}

} // namespace

void details::dt_destruct_lame_encoder::operator()(lame_global_flags* handle) const {
    if (handle)
        lame_close(handle);
}

lame_encoder_impl_internal::lame_encoder_impl_internal()
    : handle_(lame_init(), details::dt_destruct_lame_encoder()) {
    if (!handle_)
        KESTREL_THROW(errors::bad_alloc() << errinfo_api_function("lame_init"));
    id3tag_add_v2(handle());
}

void lame_encoder_impl_internal::check(int result, const char* function) const {
    if (result < 0)
        KESTREL_THROW(errors::invalid_operation() << errinfo_api_function(function)
                                                  << errinfo_errno(-result));
}

void lame_encoder_impl_internal::set_artist_ucs2(const std::wstring& artist) {
    id3tag_set_textinfo_utf16(handle(), "TPE1", utf16_with_bom(artist).data());
}

void lame_encoder_impl_internal::set_title_ucs2(const std::wstring& title) {
    id3tag_set_textinfo_utf16(handle(), "TIT2", utf16_with_bom(title).data());
}

void lame_encoder_impl_internal::set_artist(const std::string& artist) {
    id3tag_set_artist(handle(), artist.c_str());
}

void lame_encoder_impl_internal::set_title(const std::string& title) {
    id3tag_set_title(handle(), title.c_str());
}

void lame_encoder_impl_internal::start() {
    lame_set_write_id3tag_automatic(handle(), 0);
    check(lame_init_params(handle()), "lame_init_params");
}

media_packet_ptr lame_encoder_impl_internal::encode(const audio_data* block) {
    lame_global_flags* lame = handle();
    const int before = lame_get_mf_samples_to_encode(lame);
    const unsigned int frames = block ? block->samples() : 0;
    const std::size_t capacity = worst_case_bytes(frames);
    uint8_t* buffer = output_.get_buffer(capacity);
    const int size = static_cast<int>(capacity);

    int bytes;
    const char* function;
    if (!block) {
        function = "lame_encode_flush";
        bytes = lame_encode_flush(lame, buffer, size);
    } else if (lame_get_num_channels(lame) == 1) {
        function = "lame_encode_buffer";
        const auto* samples = reinterpret_cast<const short*>(block->data());
        bytes = lame_encode_buffer(lame, samples, samples, static_cast<int>(frames), buffer, size);
    } else {
        function = "lame_encode_buffer_interleaved";
        bytes = lame_encode_buffer_interleaved(lame, reinterpret_cast<short*>(block->data()),
                                               static_cast<int>(frames), buffer, size);
    }
    if (bytes < 0)
        KESTREL_THROW(audio_encoder_queue::error("failed")
                      << errinfo_api_function(function) << errinfo_errno(-bytes));

    const int after = lame_get_mf_samples_to_encode(lame);
    const int64_t taken = static_cast<int64_t>(frames) + before - after;
    encoded_samples_ += taken;
    const int64_t ticks_per_frame = lame_packet_ticks_per_second / lame_get_in_samplerate(lame);

    auto packet = boost::make_shared<common_media_packet2>();
    media_packet_properties* properties = packet->properties();
    properties->set_data(buffer, static_cast<size_t>(bytes), dt_buffer_copy);
    properties->set_media_type(dt_media_type_audio);
    properties->set_time_base(dt_rational_t(1, lame_packet_ticks_per_second));
    properties->set_duration(static_cast<int>(taken * ticks_per_frame));
    properties->set_pts(encoded_samples_ * ticks_per_frame);
    properties->set_dts(encoded_samples_ * ticks_per_frame);
    return packet;
}

} // namespace kestrel
