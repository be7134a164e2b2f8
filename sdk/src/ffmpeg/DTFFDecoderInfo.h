#pragma once
// Codec descriptions copied out of an FFmpeg codec context. They own their
// copies of extra data and matrices and never look at the context again.

#include "media/DTDecoderInfo.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <string>

namespace kestrel {

// The twelve fields every codec description reports.
template <class Base>
class av_decoder_info_common : public Base {
public:
    explicit av_decoder_info_common(const AVCodecContext& context);
    ~av_decoder_info_common() override;

    const uint8_t* extradata() const override { return extradata_; }
    int extradata_size() const override { return extradata_size_; }
    std::string codec_name() const override { return codec_name_; }
    int extra_value() const override { return 0; }
    int media_type() const override { return media_type_; }
    int codec_id() const override { return codec_id_; }
    unsigned int codec_tag() const override { return codec_tag_; }
    int profile() const override { return profile_; }
    int level() const override { return level_; }
    int bit_rate() const override { return bit_rate_; }
    dt_rational_t time_base() const override { return time_base_; }
    int rc_max_rate() const override { return rc_max_rate_; }
    int rc_buffer_size() const override { return rc_buffer_size_; }

private:
    uint8_t* extradata_ = nullptr;
    int extradata_size_ = 0;
    std::string codec_name_; // FFmpeg no longer names the codec in the context
    int media_type_;
    int codec_id_;
    unsigned int codec_tag_;
    int profile_;
    int level_;
    dt_rational_t time_base_;
    int bit_rate_;
    int rc_max_rate_;
    int rc_buffer_size_;
};

// Media types other than audio and video.
class av_decoder_info_impl : public av_decoder_info_common<decoder_info::Impl> {
public:
    explicit av_decoder_info_impl(const AVCodecContext* context);
};

class av_audio_decoder_info_impl : public av_decoder_info_common<audio_decoder_info::Impl> {
public:
    // errors::invalid_argument for a null context.
    explicit av_audio_decoder_info_impl(const AVCodecContext* context);

    int sample_rate() const override { return sample_rate_; }
    int channels() const override { return channels_; }
    int sample_format() const override { return sample_format_; }
    int block_align() const override { return block_align_; }
    uint64_t channel_layout() const override { return channel_layout_; }
    int bits_per_coded_sample() const override { return bits_per_coded_sample_; }
    int bits_per_raw_sample() const override { return bits_per_raw_sample_; }

private:
    int sample_rate_;
    int channels_;
    int sample_format_;
    int block_align_;
    uint64_t channel_layout_;
    int bits_per_coded_sample_;
    int bits_per_raw_sample_;
};

class av_video_decoder_info_impl : public av_decoder_info_common<video_decoder_info::Impl> {
public:
    explicit av_video_decoder_info_impl(const AVCodecContext* context);
    ~av_video_decoder_info_impl() override;

    int width() const override { return width_; }
    int height() const override { return height_; }
    int pixel_format() const override { return pixel_format_; }
    bool has_b_frames() const override { return has_b_frames_; }
    dt_rational_t sample_aspect_ratio() const override { return sample_aspect_ratio_; }
    const uint16_t* intra_matrix() const override { return intra_matrix_; }
    const uint16_t* inter_matrix() const override { return inter_matrix_; }
    int refs() const override { return refs_; }
    int ticks_per_frame() const override { return ticks_per_frame_; }

private:
    int width_;
    int height_;
    int pixel_format_;
    bool has_b_frames_;
    dt_rational_t sample_aspect_ratio_;
    uint16_t* intra_matrix_ = nullptr;
    uint16_t* inter_matrix_ = nullptr;
    int refs_;
    int ticks_per_frame_;
};

class ff_decoder_info : public decoder_info {
public:
    explicit ff_decoder_info(const AVCodecContext* context)
        : decoder_info(new av_decoder_info_impl(context)) {}
};

class ff_audio_decoder_info : public audio_decoder_info {
public:
    explicit ff_audio_decoder_info(const AVCodecContext* context)
        : audio_decoder_info(new av_audio_decoder_info_impl(context)) {}
};

class ff_video_decoder_info : public video_decoder_info {
public:
    explicit ff_video_decoder_info(const AVCodecContext* context)
        : video_decoder_info(new av_video_decoder_info_impl(context)) {}
};

// The audio, video or plain description by the context's media type;
// errors::invalid_pointer for a null context.
decoder_info_ptr create_ff_decoder_info(const AVCodecContext* context);

} // namespace kestrel
