#include "media/DTAudioData.h"
#include "media/DTAudioFormat.h"
#include "media/DTDecoderInfo.h"

#include <gtest/gtest.h>

using namespace kestrel;

TEST(AudioFormat, DerivedSizes) {
    EXPECT_EQ(32, audio_format::create(44100, 3, 2)->bits_per_sample());
    EXPECT_EQ(32, audio_format::create(44100, 8, 2)->bits_per_sample());
    EXPECT_EQ(64, audio_format::create(44100, 4, 2)->bits_per_sample());
    EXPECT_EQ(64, audio_format::create(44100, 9, 2)->bits_per_sample());
    for (int unknown : {10, -1}) {
        auto format = audio_format::create(44100, unknown, 2);
        EXPECT_EQ(-1, format->bits_per_sample());
        EXPECT_EQ(0u, format->bytes_per_frame());
    }
    EXPECT_EQ(4u, audio_format::create(44100, sample_format_s16, 2)->bytes_per_frame());
    EXPECT_EQ(24u, audio_format::create(44100, sample_format_fltp, 6)->bytes_per_frame());
    EXPECT_EQ(1u, audio_format::create(44100, sample_format_u8, 1)->bytes_per_frame());
    EXPECT_EQ(4000u, audio_format::create(44100, sample_format_s16, 2)->bytes_for_samples(1000));
}

TEST(AudioFormat, SampleFormatNames) {
    EXPECT_EQ("", sample_format_name(10));
    EXPECT_EQ("", sample_format_name(-1));
    EXPECT_EQ("FLTP", sample_format_name(8));
    EXPECT_EQ(-1, sample_format_from_name("s16"));
    EXPECT_EQ(-1, sample_format_from_name(""));
    EXPECT_EQ(-1, sample_format_from_name(static_cast<const char*>(nullptr)));
    EXPECT_EQ(9, sample_format_from_name("DBLP"));
    EXPECT_EQ(1, sample_format_from_name(std::string("S16")));
}

TEST(AudioFormat, ThroughSettingsAndBack) {
    auto format = audio_format::create(44100, sample_format_s16, 2, 3);
    auto settings = audio_format_to_media_settings(format.get());
    EXPECT_EQ("44100", settings->get("audio-sample-rate"));
    EXPECT_EQ("S16", settings->get("audio-sample-format"));
    EXPECT_EQ("2", settings->get("audio-channels-count"));
    EXPECT_EQ("3", settings->get("audio-channel-layout"));
    EXPECT_TRUE(*media_settings_to_audio_format(settings) == *format);

    auto unknown = audio_format_to_media_settings(audio_format::create(8000, 42, 1).get());
    EXPECT_EQ("", unknown->get("audio-sample-format"));
    EXPECT_EQ(-1, media_settings_to_audio_format(unknown)->sample_format());

    EXPECT_FALSE(audio_format_to_media_settings(nullptr)->contains("audio-sample-rate"));
}

TEST(AudioFormat, ReadingIncompleteSettings) {
    auto settings = media_settings::create();
    settings->set("audio-sample-rate", 48000)->set("audio-channels-count", 2)
        ->set("audio-sample-format", "FLT");
    EXPECT_EQ(0u, media_settings_to_audio_format(settings)->channel_layout());
    auto no_rate = media_settings::clone(settings);
    no_rate->set("audio-sample-rate", "");
    EXPECT_THROW(media_settings_to_audio_format(no_rate), boost::bad_lexical_cast);
    EXPECT_EQ("", no_rate->get("audio-sample-rate"));
}

TEST(AudioFormat, FromDecoderInfo) {
    auto info = create_audio_decoder_info_simple(86018, 22050, 1, nullptr, 0);
    auto format = audio_format::create(*info);
    EXPECT_EQ(22050, format->sample_rate());
    EXPECT_EQ(1, format->channels());
    EXPECT_EQ(sample_format_s16, format->sample_format());
}
