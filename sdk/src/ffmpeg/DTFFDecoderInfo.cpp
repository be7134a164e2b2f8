#include "DTFFDecoderInfo.h"

#include "DTFFAlloc.h"
#include "DTFFChannelLayout.h"
#include "DTFFGlobal.h"
#include "base/DTErrors.h"

#include <boost/make_shared.hpp>

namespace kestrel {

namespace {
const ffmpeg_global_init_request ffmpeg_init;

const std::size_t matrix_bytes = 64 * sizeof(uint16_t);

const AVCodecContext& audio_context(const AVCodecContext* context) {
    if (!context)
        KESTREL_THROW(errors::invalid_argument());
    return *context;
}

uint16_t* copy_matrix(const uint16_t* matrix) {
    uint8_t* copy = nullptr;
    ff_alloc_copy(&copy, reinterpret_cast<const uint8_t*>(matrix), matrix ? matrix_bytes : 0, 0);
    return reinterpret_cast<uint16_t*>(copy);
}

void free_matrix(uint16_t*& matrix) {
    auto* bytes = reinterpret_cast<uint8_t*>(matrix);
    ff_free(&bytes);
    matrix = nullptr;
}
} // namespace

template <class Base>
av_decoder_info_common<Base>::av_decoder_info_common(const AVCodecContext& context)
    : media_type_(context.codec_type), codec_id_(context.codec_id),
      codec_tag_(context.codec_tag), profile_(context.profile), level_(context.level),
      time_base_(context.time_base.num, context.time_base.den),
      bit_rate_(static_cast<int>(context.bit_rate)),
      rc_max_rate_(static_cast<int>(context.rc_max_rate)),
      rc_buffer_size_(context.rc_buffer_size) {
    if (context.extradata && context.extradata_size > 0)
        ff_alloc_copy(&extradata_, context.extradata, context.extradata_size,
                      ff_extradata_padding);
    extradata_size_ = context.extradata_size;
}

template <class Base>
av_decoder_info_common<Base>::~av_decoder_info_common() {
    ff_free(&extradata_);
}

template class av_decoder_info_common<decoder_info::Impl>;
template class av_decoder_info_common<audio_decoder_info::Impl>;
template class av_decoder_info_common<video_decoder_info::Impl>;

av_decoder_info_impl::av_decoder_info_impl(const AVCodecContext* context)
    : av_decoder_info_common(*context) {}

av_audio_decoder_info_impl::av_audio_decoder_info_impl(const AVCodecContext* context)
    : av_decoder_info_common(audio_context(context)), sample_rate_(context->sample_rate),
      channels_(context->ch_layout.nb_channels), sample_format_(context->sample_fmt),
      block_align_(context->block_align), channel_layout_(ff_channel_mask(context->ch_layout)),
      bits_per_coded_sample_(context->bits_per_coded_sample),
      bits_per_raw_sample_(context->bits_per_raw_sample) {}

av_video_decoder_info_impl::av_video_decoder_info_impl(const AVCodecContext* context)
    : av_decoder_info_common(*context), width_(context->width), height_(context->height),
      pixel_format_(context->pix_fmt), has_b_frames_(context->has_b_frames != 0),
      sample_aspect_ratio_(context->sample_aspect_ratio.num, context->sample_aspect_ratio.den),
      refs_(context->refs), ticks_per_frame_(context->ticks_per_frame) {
    try {
        intra_matrix_ = copy_matrix(context->intra_matrix);
        inter_matrix_ = copy_matrix(context->inter_matrix);
    } catch (...) {
        free_matrix(intra_matrix_);
        throw;
    }
}

av_video_decoder_info_impl::~av_video_decoder_info_impl() {
    free_matrix(inter_matrix_);
    free_matrix(intra_matrix_);
}

decoder_info_ptr create_ff_decoder_info(const AVCodecContext* context) {
    if (!context)
        KESTREL_THROW(errors::invalid_pointer());
    switch (context->codec_type) {
    case AVMEDIA_TYPE_VIDEO:
        return boost::make_shared<ff_video_decoder_info>(context);
    case AVMEDIA_TYPE_AUDIO:
        return boost::make_shared<ff_audio_decoder_info>(context);
    default:
        return boost::make_shared<ff_decoder_info>(context);
    }
}

} // namespace kestrel
