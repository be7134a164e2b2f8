#pragma once
// One LAME encoder handle with the output buffer its calls write into, and
// a count of the sample frames LAME has taken in. Setters raise
// errors::invalid_operation when LAME refuses a value; readers return what
// LAME holds. Input is 16-bit samples, interleaved for two channels. One
// thread at a time. Private to the library: only the LAME encoder's sources
// include it, so LAME's header reaches nobody who links the library.

#include "base/DTFixedMemoryBuffer.h"
#include "media/DTAudioData.h"
#include "media/DTMediaPacket.h"

#include <lame/lame.h>

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>

namespace kestrel {

namespace details {
struct dt_destruct_lame_encoder {
    void operator()(lame_global_flags* handle) const;
};
} // namespace details

class lame_encoder_impl_internal {
public:
    typedef MPEG_mode StereoMode;
    typedef preset_mode PresetMode;
    typedef ::vbr_mode VbrMode;

    // lame_init, then an ID3 version 2 tag is always asked for;
    // errors::bad_alloc when LAME cannot start.
    lame_encoder_impl_internal();

    void set_input_sample_rate(int rate) { check(lame_set_in_samplerate(handle(), rate), "lame_set_in_samplerate"); }
    void set_channels_count(int count) { check(lame_set_num_channels(handle(), count), "lame_set_num_channels"); }
    void set_output_sample_rate(int rate) { check(lame_set_out_samplerate(handle(), rate), "lame_set_out_samplerate"); }
    void set_scale(float scale) { check(lame_set_scale(handle(), scale), "lame_set_scale"); }
    void set_scale_left(float scale) { check(lame_set_scale_left(handle(), scale), "lame_set_scale_left"); }
    void set_scale_right(float scale) { check(lame_set_scale_right(handle(), scale), "lame_set_scale_right"); }
    void set_write_vbr_tag(bool write) { check(lame_set_bWriteVbrTag(handle(), write), "lame_set_bWriteVbrTag"); }
    void set_quality(int quality) { check(lame_set_quality(handle(), quality), "lame_set_quality"); }
    void set_stereo_mode(StereoMode mode) { check(lame_set_mode(handle(), mode), "lame_set_mode"); }
    void set_bit_rate(int kbps) { check(lame_set_brate(handle(), kbps), "lame_set_brate"); }
    void set_compression_ratio(float ratio) { check(lame_set_compression_ratio(handle(), ratio), "lame_set_compression_ratio"); }
    void set_preset(PresetMode preset) { check(lame_set_preset(handle(), preset), "lame_set_preset"); }
    void set_vbr_mode(VbrMode mode) { check(lame_set_VBR(handle(), mode), "lame_set_VBR"); }
    void set_vbr_quality(float quality) { check(lame_set_VBR_quality(handle(), quality), "lame_set_VBR_quality"); }
    void set_vbr_mean_bitrate_kbps(int kbps) { check(lame_set_VBR_mean_bitrate_kbps(handle(), kbps), "lame_set_VBR_mean_bitrate_kbps"); }
    void set_vbr_min_bitrate_kbps(int kbps) { check(lame_set_VBR_min_bitrate_kbps(handle(), kbps), "lame_set_VBR_min_bitrate_kbps"); }
    void set_vbr_max_bitrate_kbps(int kbps) { check(lame_set_VBR_max_bitrate_kbps(handle(), kbps), "lame_set_VBR_max_bitrate_kbps"); }

    int get_input_sample_rate() const { return lame_get_in_samplerate(handle()); }
    int get_channels_count() const { return lame_get_num_channels(handle()); }
    int get_output_sample_rate() const { return lame_get_out_samplerate(handle()); }
    float get_scale() const { return lame_get_scale(handle()); }
    float get_scale_left() const { return lame_get_scale_left(handle()); }
    float get_scale_right() const { return lame_get_scale_right(handle()); }
    bool get_write_vbr_tag() const { return lame_get_bWriteVbrTag(handle()) != 0; }
    int get_quality() const { return lame_get_quality(handle()); }
    StereoMode get_stereo_mode() const { return lame_get_mode(handle()); }
    int get_bit_rate() const { return lame_get_brate(handle()); }
    float get_compression_ratio() const { return lame_get_compression_ratio(handle()); }
    VbrMode get_vbr_mode() const { return lame_get_VBR(handle()); }
    float get_vbr_quality() const { return lame_get_VBR_quality(handle()); }
    int get_vbr_mean_bitrate_kbps() const { return lame_get_VBR_mean_bitrate_kbps(handle()); }
    int get_vbr_min_bitrate_kbps() const { return lame_get_VBR_min_bitrate_kbps(handle()); }
    int get_vbr_max_bitrate_kbps() const { return lame_get_VBR_max_bitrate_kbps(handle()); }

    // ID3v2 text frames "TPE1" and "TIT2" as UTF-16 with a byte-order mark.
    void set_artist_ucs2(const std::wstring& artist);
    void set_title_ucs2(const std::wstring& title);
    void set_artist(const std::string& artist);
    void set_title(const std::string& title);

    // LAME ready to encode; the tags are fetched by the caller, never
    // written into the MP3 stream.
    void start();

    // The MP3 bytes LAME makes of the block as a packet (media type audio,
    // time base 1/14112000 s): its duration covers the frames that left
    // LAME's waiting room during the call, its pts and dts the end of all
    // frames taken so far. A negative LAME result is
    // audio_encoder_queue::error("failed").
    media_packet_ptr encode(const audio_data* block);
    // encode(null): LAME's last frames.
    media_packet_ptr flush() { return encode(nullptr); }

    lame_global_flags* handle() const { return handle_.get(); }

private:
    void check(int result, const char* function) const;

    boost::shared_ptr<lame_global_flags> handle_;
    utils::fixed_memory_buffer output_;
    int64_t encoded_samples_ = 0;
};

// The time base of LAME packets: a whole multiple of every MPEG audio rate.
const int lame_packet_ticks_per_second = 14112000;

} // namespace kestrel
