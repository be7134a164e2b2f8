#pragma once
// Description of a stream of samples: rate, sample format (FFmpeg's
// numbering, 5 to 9 planar), channel count and 64-bit channel layout.
// A "frame" is one sample of every channel at one instant.

#include "base/DTBase.h"
#include "base/DTErrors.h"
#include "media/DTMediaSettings.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>

namespace kestrel {

class audio_decoder_info;
class audio_format;
typedef boost::shared_ptr<audio_format> audio_format_ptr;

enum {
    sample_format_u8 = 0,
    sample_format_s16 = 1,
    sample_format_s32 = 2,
    sample_format_flt = 3,
    sample_format_dbl = 4,
    sample_format_u8p = 5,
    sample_format_s16p = 6,
    sample_format_s32p = 7,
    sample_format_fltp = 8,
    sample_format_dblp = 9
};

// Bits per sample of a format number; -1 for an unknown format.
int sample_format_bits(int sample_format);
bool sample_format_is_planar(int sample_format);
// "U8", "S16", ... "DBLP"; empty text for an unknown value.
std::string sample_format_name(int sample_format);
// Exact, case-sensitive; -1 for no match and for null.
int sample_format_from_name(const char* name);
int sample_format_from_name(const std::string& name);

class audio_format : public facade<audio_format> {
public:
    class invalid_format : public virtual errors::dt_error {
    public:
        invalid_format() : errors::dt_error("invalid audio format") {}
    };

    class Impl : public impl_base {
    public:
        Impl(int sample_format, uint64_t channel_layout, int channels, int sample_rate)
            : sample_format(sample_format), channel_layout(channel_layout), channels(channels),
              sample_rate(sample_rate) {}
        const int sample_format;
        const uint64_t channel_layout;
        const int channels;
        const int sample_rate;
    };

    static audio_format_ptr create(int sample_rate, int sample_format, int channels,
                                   uint64_t channel_layout);
    static audio_format_ptr create(int sample_rate, int sample_format, int channels);
    static audio_format_ptr create(const audio_decoder_info& info);
    static audio_format_ptr copy(const audio_format& other);

    explicit audio_format(Impl* impl) : facade(impl) {}

    int sample_format() const { return impl()->sample_format; }
    uint64_t channel_layout() const { return impl()->channel_layout; }
    int channels() const { return impl()->channels; }
    int sample_rate() const { return impl()->sample_rate; }

    int bits_per_sample() const;
    // 0 for an unknown format.
    unsigned int bytes_per_frame() const;
    unsigned int bytes_for_samples(unsigned int frames) const;
    bool is_planar() const { return sample_format_is_planar(sample_format()); }
    bool operator==(const audio_format& other) const;
    bool operator!=(const audio_format& other) const { return !(*this == other); }
};

// The four keys "audio-sample-rate", "audio-sample-format",
// "audio-channels-count" and "audio-channel-layout"; a null format gives an
// empty map.
media_settings_ptr audio_format_to_media_settings(const audio_format* format);
// Throws boost::bad_lexical_cast for a missing or bad rate or channel count.
audio_format_ptr media_settings_to_audio_format(media_settings_ptr settings);

} // namespace kestrel
