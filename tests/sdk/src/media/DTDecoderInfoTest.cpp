#include "media/DTDecoderInfo.h"

#include <gtest/gtest.h>

using namespace kestrel;

TEST(DecoderInfo, SimpleAudioRecord) {
    auto info = create_audio_decoder_info_simple(86017, 22050, 1, nullptr, 0);
    EXPECT_EQ(1, info->media_type());
    EXPECT_EQ(86017, info->codec_id());
    EXPECT_EQ(1, info->sample_format());
    EXPECT_EQ(0u, info->channel_layout());
    EXPECT_EQ(dt_rational_t(0, 1), info->time_base());
    EXPECT_EQ(nullptr, info->extradata());
    EXPECT_EQ(0, info->extradata_size());
    EXPECT_EQ("", info->codec_name());
    EXPECT_EQ(22050, info->sample_rate());
    EXPECT_EQ(1, info->channels());

    const uint8_t extra[] = {1, 2, 3};
    auto with_extra = create_audio_decoder_info_simple(1, 8000, 2, extra, 3);
    ASSERT_EQ(3, with_extra->extradata_size());
    EXPECT_NE(extra, with_extra->extradata());
    EXPECT_EQ(3, with_extra->extradata()[2]);

    decoder_info_ptr plain = info;
    EXPECT_NE(nullptr, dynamic_cast<audio_decoder_info*>(plain.get()));
}

TEST(DecoderInfo, AdditionalInfoNames) {
    audio_decoder_additional_info info(new audio_decoder_additional_info_impl("mp3float", "MP3"));
    EXPECT_EQ("mp3float", info.name());
    EXPECT_EQ("MP3", info.long_name());
}
