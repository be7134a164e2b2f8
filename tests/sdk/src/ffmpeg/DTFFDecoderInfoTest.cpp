#include "ffmpeg/DTFFCodec.h"
#include "ffmpeg/DTFFDecoderInfo.h"

#include "ffmpeg/DTFFAlloc.h"
#include "media/DTDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kestrel;

namespace {

AVCodecContextPtr context_of_type(AVMediaType type) {
    AVCodecContextPtr context = dt_create_codec_context();
    context->codec_type = type;
    return context;
}

void give_extradata(AVCodecContext* context, int size) {
    ff_alloc(&context->extradata, size, ff_extradata_padding);
    for (int i = 0; i < size; ++i)
        context->extradata[i] = static_cast<uint8_t>(i + 1);
    context->extradata_size = size;
}

template <class E>
const char* api_function(const E& e) {
    const char* const* name = boost::get_error_info<errinfo_api_function>(e);
    return name ? *name : "";
}

} // namespace

TEST(FFDecoderInfo, KindFollowsMediaType) {
    for (AVMediaType type : {AVMEDIA_TYPE_DATA, AVMEDIA_TYPE_SUBTITLE}) {
        decoder_info_ptr info = create_ff_decoder_info(context_of_type(type).get());
        EXPECT_EQ(type, info->media_type());
        EXPECT_EQ(nullptr, dynamic_cast<audio_decoder_info*>(info.get()));
        EXPECT_EQ(nullptr, dynamic_cast<video_decoder_info*>(info.get()));
        EXPECT_EQ(0, info->extra_value());
    }
    EXPECT_NE(nullptr, dynamic_cast<audio_decoder_info*>(
                           create_ff_decoder_info(context_of_type(AVMEDIA_TYPE_AUDIO).get()).get()));
    EXPECT_NE(nullptr, dynamic_cast<video_decoder_info*>(
                           create_ff_decoder_info(context_of_type(AVMEDIA_TYPE_VIDEO).get()).get()));

    EXPECT_THROW(create_ff_decoder_info(nullptr), errors::invalid_pointer);
    EXPECT_THROW(ff_audio_decoder_info(nullptr), errors::invalid_argument);
}

TEST(FFDecoderInfo, AudioValuesOutliveTheContext) {
    AVCodecContextPtr context = context_of_type(AVMEDIA_TYPE_AUDIO);
    context->codec_id = AV_CODEC_ID_MP3;
    context->sample_rate = 48000;
    context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    av_channel_layout_from_mask(&context->ch_layout, AV_CH_LAYOUT_STEREO);
    context->bit_rate = 192000;
    context->time_base = AVRational{1, 48000};
    context->block_align = 4;
    give_extradata(context.get(), 5);

    decoder_info_ptr plain = create_ff_decoder_info(context.get());
    context.reset();
    auto* info = dynamic_cast<audio_decoder_info*>(plain.get());
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(AV_CODEC_ID_MP3, info->codec_id());
    EXPECT_EQ(48000, info->sample_rate());
    EXPECT_EQ(2, info->channels());
    EXPECT_EQ(8, info->sample_format());
    EXPECT_EQ(3u, info->channel_layout());
    EXPECT_EQ(192000, info->bit_rate());
    EXPECT_EQ(dt_rational_t(1, 48000), info->time_base());
    EXPECT_EQ(4, info->block_align());
    EXPECT_EQ("", info->codec_name());
    ASSERT_EQ(5, info->extradata_size());
    EXPECT_EQ(5, info->extradata()[4]);
    EXPECT_TRUE(std::all_of(info->extradata() + 5, info->extradata() + 5 + 16,
                            [](uint8_t b) { return b == 0; }));

    // A layout given only as a channel count has no mask.
    AVCodecContextPtr unmasked = context_of_type(AVMEDIA_TYPE_AUDIO);
    av_channel_layout_default(&unmasked->ch_layout, 2);
    unmasked->ch_layout.order = AV_CHANNEL_ORDER_UNSPEC;
    auto counted = boost::dynamic_pointer_cast<audio_decoder_info>(
        create_ff_decoder_info(unmasked.get()));
    EXPECT_EQ(2, counted->channels());
    EXPECT_EQ(0u, counted->channel_layout());
}

TEST(FFDecoderInfo, ExtradataNeedsPointerAndSize) {
    AVCodecContextPtr sized_only = context_of_type(AVMEDIA_TYPE_AUDIO);
    sized_only->extradata_size = 7;
    decoder_info_ptr info = create_ff_decoder_info(sized_only.get());
    EXPECT_EQ(nullptr, info->extradata());
    EXPECT_EQ(7, info->extradata_size());

    AVCodecContextPtr pointer_only = context_of_type(AVMEDIA_TYPE_AUDIO);
    give_extradata(pointer_only.get(), 3);
    pointer_only->extradata_size = 0;
    info = create_ff_decoder_info(pointer_only.get());
    EXPECT_EQ(nullptr, info->extradata());
    EXPECT_EQ(0, info->extradata_size());

    // A description with a size but no bytes gives the decoder no extradata.
    AVCodecContextPtr decoder_context = dt_create_decoder_context(
        *create_ff_decoder_info(sized_only.get()));
    EXPECT_EQ(nullptr, decoder_context->extradata);
    EXPECT_EQ(0, decoder_context->extradata_size);
}

TEST(FFDecoderInfo, VideoMatricesAreCopies) {
    AVCodecContextPtr context = context_of_type(AVMEDIA_TYPE_VIDEO);
    context->width = 64;
    context->height = 48;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->has_b_frames = 2;
    context->sample_aspect_ratio = AVRational{4, 3};
    context->intra_matrix = static_cast<uint16_t*>(av_mallocz(128));
    context->intra_matrix[63] = 99;

    decoder_info_ptr plain = create_ff_decoder_info(context.get());
    context.reset();
    auto* info = dynamic_cast<video_decoder_info*>(plain.get());
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(64, info->width());
    EXPECT_EQ(48, info->height());
    EXPECT_EQ(0, info->pixel_format());
    EXPECT_TRUE(info->has_b_frames());
    EXPECT_EQ(dt_rational_t(4, 3), info->sample_aspect_ratio());
    ASSERT_NE(nullptr, info->intra_matrix());
    EXPECT_EQ(99, info->intra_matrix()[63]);
    EXPECT_EQ(nullptr, info->inter_matrix());
}

TEST(FFCodec, OpeningFailuresNameTheCall) {
    AVCodecContextPtr context = dt_create_codec_context();
    try {
        dt_open_ff_decoder(context.get(), AV_CODEC_ID_NONE);
        FAIL() << "no decoder should be found";
    } catch (const decoder::create_error& e) {
        EXPECT_STREQ("avcodec_find_decoder", api_function(e));
        EXPECT_EQ(nullptr, boost::get_error_info<errinfo_errno>(e));
        EXPECT_STREQ("kestrel sdk error", e.what());
    }

    // Vorbis cannot start without its headers in the extra data.
    context->codec_type = AVMEDIA_TYPE_AUDIO;
    context->sample_rate = 44100;
    av_channel_layout_default(&context->ch_layout, 2);
    try {
        dt_open_ff_decoder(context.get(), AV_CODEC_ID_VORBIS);
        FAIL() << "vorbis should refuse to open";
    } catch (const decoder::create_error& e) {
        EXPECT_STREQ("avcodec_open", api_function(e));
        const int* code = boost::get_error_info<errinfo_errno>(e);
        ASSERT_NE(nullptr, code);
        EXPECT_GT(*code, 0);
    }
}

TEST(FFCodec, NamesComeFromEncodersToo) {
    std::string name = "unchanged", long_name = "unchanged";
    EXPECT_FALSE(dt_get_codec_names(AV_CODEC_ID_NONE, name, long_name));
    EXPECT_EQ("unchanged", name);
    ASSERT_TRUE(dt_get_codec_names(AV_CODEC_ID_A64_MULTI, name, long_name));
    EXPECT_EQ("a64multi", name);
    EXPECT_FALSE(long_name.empty());
}
