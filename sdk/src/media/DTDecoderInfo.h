#pragma once
// Read-only descriptions of a codec found in a media file: the plain record,
// its audio and video refinements, and the names of the codec a decoder
// actually opened. Values are copies; a record never changes.

#include "base/DTBase.h"
#include "base/DTTypes.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

class decoder_info : public facade<decoder_info> {
public:
    class Impl : public impl_base {
    public:
        ~Impl() override;
        virtual const uint8_t* extradata() const = 0;
        virtual int extradata_size() const = 0;
        virtual std::string codec_name() const = 0;
        virtual int extra_value() const = 0;
        virtual int media_type() const = 0;
        virtual int codec_id() const = 0;
        virtual unsigned int codec_tag() const = 0;
        virtual int profile() const = 0;
        virtual int level() const = 0;
        virtual int bit_rate() const = 0;
        virtual dt_rational_t time_base() const = 0;
        virtual int rc_max_rate() const = 0;
        virtual int rc_buffer_size() const = 0;
    };

    explicit decoder_info(Impl* impl) : facade(impl) {}

    const uint8_t* extradata() const { return impl()->extradata(); }
    int extradata_size() const { return impl()->extradata_size(); }
    std::string codec_name() const { return impl()->codec_name(); }
    int extra_value() const { return impl()->extra_value(); }
    int media_type() const { return impl()->media_type(); }
    int codec_id() const { return impl()->codec_id(); }
    unsigned int codec_tag() const { return impl()->codec_tag(); }
    int profile() const { return impl()->profile(); }
    int level() const { return impl()->level(); }
    int bit_rate() const { return impl()->bit_rate(); }
    dt_rational_t time_base() const { return impl()->time_base(); }
    int rc_max_rate() const { return impl()->rc_max_rate(); }
    int rc_buffer_size() const { return impl()->rc_buffer_size(); }
};
typedef boost::shared_ptr<decoder_info> decoder_info_ptr;

class audio_decoder_info : public decoder_info {
public:
    class Impl : public decoder_info::Impl {
    public:
        virtual int sample_rate() const = 0;
        virtual int channels() const = 0;
        virtual int sample_format() const = 0;
        virtual int block_align() const = 0;
        virtual uint64_t channel_layout() const = 0;
        virtual int bits_per_coded_sample() const = 0;
        virtual int bits_per_raw_sample() const = 0;
    };

    explicit audio_decoder_info(Impl* impl) : decoder_info(impl), audio_(impl) {}

    int sample_rate() const { return audio_->sample_rate(); }
    int channels() const { return audio_->channels(); }
    int sample_format() const { return audio_->sample_format(); }
    int block_align() const { return audio_->block_align(); }
    uint64_t channel_layout() const { return audio_->channel_layout(); }
    int bits_per_coded_sample() const { return audio_->bits_per_coded_sample(); }
    int bits_per_raw_sample() const { return audio_->bits_per_raw_sample(); }

private:
    Impl* audio_; // owned by the base
};
typedef boost::shared_ptr<audio_decoder_info> audio_decoder_info_ptr;

class video_decoder_info : public decoder_info {
public:
    class Impl : public decoder_info::Impl {
    public:
        virtual int width() const = 0;
        virtual int height() const = 0;
        virtual int pixel_format() const = 0;
        virtual bool has_b_frames() const = 0;
        virtual dt_rational_t sample_aspect_ratio() const = 0;
        // 64 coefficients, or null.
        virtual const uint16_t* intra_matrix() const = 0;
        virtual const uint16_t* inter_matrix() const = 0;
        virtual int refs() const = 0;
        virtual int ticks_per_frame() const = 0;
    };

    explicit video_decoder_info(Impl* impl) : decoder_info(impl), video_(impl) {}

    int width() const { return video_->width(); }
    int height() const { return video_->height(); }
    int pixel_format() const { return video_->pixel_format(); }
    bool has_b_frames() const { return video_->has_b_frames(); }
    dt_rational_t sample_aspect_ratio() const { return video_->sample_aspect_ratio(); }
    const uint16_t* intra_matrix() const { return video_->intra_matrix(); }
    const uint16_t* inter_matrix() const { return video_->inter_matrix(); }
    int refs() const { return video_->refs(); }
    int ticks_per_frame() const { return video_->ticks_per_frame(); }

private:
    Impl* video_; // owned by the base
};
typedef boost::shared_ptr<video_decoder_info> video_decoder_info_ptr;

// The short and descriptive names of the codec a decoder opened.
class decoder_additional_info_impl : public impl_base {
public:
    virtual std::string name() const = 0;
    virtual std::string long_name() const = 0;
};

class audio_decoder_additional_info : public facade<audio_decoder_additional_info> {
public:
    typedef decoder_additional_info_impl Impl;
    explicit audio_decoder_additional_info(Impl* impl) : facade(impl) {}
    std::string name() const { return impl()->name(); }
    std::string long_name() const { return impl()->long_name(); }
};
typedef boost::shared_ptr<audio_decoder_additional_info> audio_decoder_additional_info_ptr;

class video_decoder_additional_info : public facade<video_decoder_additional_info> {
public:
    typedef decoder_additional_info_impl Impl;
    explicit video_decoder_additional_info(Impl* impl) : facade(impl) {}
    std::string name() const { return impl()->name(); }
    std::string long_name() const { return impl()->long_name(); }
};
typedef boost::shared_ptr<video_decoder_additional_info> video_decoder_additional_info_ptr;

// Holds the two names.
class decoder_additional_info_names : public decoder_additional_info_impl {
public:
    decoder_additional_info_names(std::string name, std::string long_name)
        : name_(std::move(name)), long_name_(std::move(long_name)) {}
    std::string name() const override { return name_; }
    std::string long_name() const override { return long_name_; }

private:
    std::string name_;
    std::string long_name_;
};
typedef decoder_additional_info_names audio_decoder_additional_info_impl;
typedef decoder_additional_info_names video_decoder_additional_info_impl;

// An audio record built from plain values: 16-bit samples, no layout.
class audio_decoder_info_simple : public audio_decoder_info::Impl {
public:
    audio_decoder_info_simple(int codec_id, int sample_rate, int channels,
                              const uint8_t* extradata, int extradata_size);

    const uint8_t* extradata() const override;
    int extradata_size() const override { return static_cast<int>(extradata_.size()); }
    std::string codec_name() const override { return std::string(); }
    int extra_value() const override { return extra_value_; }
    int media_type() const override { return media_type_; }
    int codec_id() const override { return codec_id_; }
    unsigned int codec_tag() const override { return 0; }
    int profile() const override { return 0; }
    int level() const override { return 0; }
    int bit_rate() const override { return 0; }
    dt_rational_t time_base() const override { return dt_rational_t(); }
    int rc_max_rate() const override { return 0; }
    int rc_buffer_size() const override { return 0; }
    int sample_rate() const override { return sample_rate_; }
    int channels() const override { return channels_; }
    int sample_format() const override { return 1; }
    int block_align() const override { return 0; }
    uint64_t channel_layout() const override { return 0; }
    int bits_per_coded_sample() const override { return 0; }
    int bits_per_raw_sample() const override { return 0; }

private:
    int media_type_ = dt_media_type_audio;
    const int extra_value_ = 0;
    int codec_id_;
    int sample_rate_;
    int channels_;
    std::vector<uint8_t> extradata_;
};

audio_decoder_info_ptr create_audio_decoder_info_simple(int codec_id, int sample_rate,
                                                        int channels, const uint8_t* extradata,
                                                        int extradata_size);

} // namespace kestrel
