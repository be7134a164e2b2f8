#include "media/DTDecoderInfo.h"

#include <boost/make_shared.hpp>

namespace kestrel {

decoder_info::Impl::~Impl() = default;

audio_decoder_info_simple::audio_decoder_info_simple(int codec_id, int sample_rate, int channels,
                                                     const uint8_t* extradata,
                                                     int extradata_size)
    : codec_id_(codec_id), sample_rate_(sample_rate), channels_(channels) {
    if (extradata && extradata_size > 0)
        extradata_.assign(extradata, extradata + extradata_size);
}

const uint8_t* audio_decoder_info_simple::extradata() const {
    return extradata_.empty() ? nullptr : extradata_.data();
}

audio_decoder_info_ptr create_audio_decoder_info_simple(int codec_id, int sample_rate,
                                                        int channels, const uint8_t* extradata,
                                                        int extradata_size) {
    return boost::make_shared<audio_decoder_info>(new audio_decoder_info_simple(
        codec_id, sample_rate, channels, extradata, extradata_size));
}

} // namespace kestrel
