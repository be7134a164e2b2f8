#include "audio/DTAudioFilterAmplify.h"
#include "audio/DTAudioFilterEnvelope.h"

#include "support/AudioSignals.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <cmath>
#include <vector>

using namespace kestrel;
using kestrel::test::channel_marker;
using kestrel::test::channel_samples;
using kestrel::test::make_audio;
using kestrel::test::sample_at;

namespace {

// One channel at 1000 Hz: one frame per millisecond.
audio_format_ptr mono_float() { return audio_format::create(1000, sample_format_flt, 1, 4); }

std::vector<double> through(audio_filter& filter, const std::vector<double>& values) {
    audio_data_ptr block = make_audio(*filter.format(), static_cast<unsigned int>(values.size()),
                                      [&](unsigned int frame, int) { return values[frame]; });
    filter.push_back(block.get());
    return channel_samples(*filter.pop(filter.size()), 0);
}

media_settings_ptr envelope(double t0, double l0, double t1, double l1) {
    return media_settings::create()->set("t0", t0)->set("l0", l0)->set("t1", t1)->set("l1", l1);
}

// The levels an envelope applies to `frames` frames of full-scale 0.5.
std::vector<double> levels(audio_filter& filter, unsigned int frames) {
    std::vector<double> out = through(filter, std::vector<double>(frames, 0.5));
    for (double& value : out)
        value *= 2.0;
    return out;
}

} // namespace

TEST(AudioFilterAmplify, GainScalesAndClips) {
    audio_filter_ptr amplify = audio_filter_amplify::create(mono_float().get());
    EXPECT_EQ((std::vector<double>{0.25, -1.0, 1.0, -0.5}),
              through(*amplify, {0.25, -1.5, 2.0, -0.5}));

    amplify->set_params(media_settings::create("gain", 2.0));
    const std::vector<double> doubled = through(*amplify, {0.25, 0.75, -0.6});
    EXPECT_EQ(0.5, doubled[0]);
    EXPECT_EQ(1.0, doubled[1]);
    EXPECT_EQ(-1.0, doubled[2]);

    amplify->set_params(media_settings::create("gain", 0.0));
    EXPECT_EQ((std::vector<double>{0.0, 0.0}), through(*amplify, {0.3, -0.9}));
    amplify->set_params(media_settings::create("gain", -1.0));
    EXPECT_EQ((std::vector<double>{-0.25, 0.5}), through(*amplify, {0.25, -0.5}));
}

TEST(AudioFilterAmplify, KeepsItsGainWhenParametersFail) {
    audio_filter_ptr amplify = audio_filter_amplify::create(mono_float().get());
    amplify->set_params(media_settings::create("gain", 0.5));
    amplify->set_params(nullptr);
    EXPECT_THROW(amplify->set_params(media_settings::create()), boost::bad_lexical_cast);
    EXPECT_THROW(amplify->set_params(media_settings::create("gain", "loud")),
                 boost::bad_lexical_cast);
    EXPECT_EQ((std::vector<double>{0.25}), through(*amplify, {0.5}));
}

// The filter works in float but hands back the stream's own format, with
// each channel processed as itself.
TEST(AudioFilterAmplify, ReturnsTheStreamsFormatChannelByChannel) {
    for (int sample_format : {sample_format_s16, sample_format_s16p, sample_format_fltp}) {
        const audio_format_ptr format = audio_format::create(44100, sample_format, 2, 3);
        audio_filter_ptr amplify = audio_filter_amplify::create(format.get());
        amplify->push_back(make_audio(*format, 300, channel_marker()).get());
        audio_data_ptr out = amplify->pop(1000);
        ASSERT_EQ(300u, out->samples());
        EXPECT_EQ(sample_format, out->sample_format());
        EXPECT_EQ(*format, *amplify->format());
        for (unsigned int frame = 0; frame < 300; ++frame) {
            ASSERT_EQ(channel_marker()(frame, 0), sample_at(*out, frame, 0));
            ASSERT_EQ(channel_marker()(frame, 1), sample_at(*out, frame, 1));
        }
    }
}

TEST(AudioFilterEnvelope, RampsBetweenTheTwoTimes) {
    audio_filter_envelope filter(mono_float().get());
    filter.set_params(envelope(100, 1.0, 200, 0.0));
    const std::vector<double> level = levels(filter, 300);
    EXPECT_EQ(1.0, level[0]);
    EXPECT_EQ(1.0, level[100]);
    EXPECT_EQ(0.5, level[150]);
    EXPECT_NEAR(0.99, level[101], 1e-6);
    EXPECT_EQ(0.0, level[200]);
    EXPECT_EQ(0.0, level[299]);
}

TEST(AudioFilterEnvelope, ARampThatBeganEarlierContinues) {
    audio_filter_envelope filter(mono_float().get());
    filter.set_params(envelope(-500, 1.0, 1500, 0.0));
    EXPECT_EQ(0.75, levels(filter, 1)[0]);
}

TEST(AudioFilterEnvelope, LevelsAboveOneClip) {
    audio_filter_envelope filter(mono_float().get());
    filter.set_params(envelope(0, 2.0, 10, 2.0));
    EXPECT_EQ((std::vector<double>{1.0, 0.5}), through(filter, {0.75, 0.25}));
}

TEST(AudioFilterEnvelope, SettingParametersRestartsTheTimeLine) {
    audio_filter_envelope filter(mono_float().get());
    filter.set_params(envelope(100, 1.0, 200, 0.0));
    levels(filter, 150);
    filter.set_params(envelope(100, 1.0, 200, 0.0));
    EXPECT_EQ(1.0, levels(filter, 1)[0]);
    // A null map restarts it too, and keeps the ramp.
    levels(filter, 150);
    filter.set_params(nullptr);
    EXPECT_EQ(0.5, levels(filter, 151)[150]);
}

TEST(AudioFilterEnvelope, BlocksJoinIntoOneTimeLine) {
    audio_filter_envelope split(mono_float().get());
    audio_filter_envelope whole(mono_float().get());
    split.set_params(envelope(20, 1.0, 80, 0.0));
    whole.set_params(envelope(20, 1.0, 80, 0.0));
    std::vector<double> joined = levels(split, 50);
    const std::vector<double> second = levels(split, 50);
    joined.insert(joined.end(), second.begin(), second.end());
    EXPECT_EQ(levels(whole, 100), joined);
}

TEST(AudioFilterEnvelope, StepsWithoutARamp) {
    audio_filter_envelope backwards(mono_float().get());
    backwards.set_params(envelope(60, 1.0, 20, 0.25));
    const std::vector<double> level = levels(backwards, 100);
    EXPECT_EQ(1.0, level[59]);
    EXPECT_EQ(0.25, level[60]);
    EXPECT_EQ(0.25, level[99]);

    audio_filter_envelope instant(mono_float().get());
    instant.set_params(envelope(50, 1.0, 50, 0.0));
    const std::vector<double> step = levels(instant, 100);
    EXPECT_EQ(1.0, step[49]);
    EXPECT_EQ(0.0, step[50]);
}

TEST(AudioFilterEnvelope, AMissingKeyStopsTheCall) {
    audio_filter_envelope filter(mono_float().get());
    EXPECT_THROW(filter.set_params(media_settings::create("t0", 1.0)), boost::bad_lexical_cast);
    EXPECT_THROW(boost::make_shared<audio_filter_envelope>(nullptr), errors::invalid_pointer);
}
