#include "ffmpeg/DTFFSwresample.h"

#include "support/AudioSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace kestrel;
using kestrel::test::channel_marker;
using kestrel::test::channel_samples;
using kestrel::test::make_audio;
using kestrel::test::sample_at;

namespace {

audio_format_ptr format_of(int rate, int sample_format, int channels = 2, uint64_t layout = 3) {
    return audio_format::create(rate, sample_format, channels, layout);
}

// Left at +0.25, right at -0.5: whatever resampling does to the edges, the
// middle of each channel must keep its own level.
test::audio_signal two_levels() {
    return [](unsigned int, int channel) { return channel == 0 ? 0.25 : -0.5; };
}

void expect_levels_in_the_middle(const audio_data& block) {
    ASSERT_GT(block.samples(), 200u);
    for (unsigned int frame = 100; frame < block.samples() - 100; ++frame) {
        ASSERT_NEAR(0.25, sample_at(block, frame, 0), 0.01) << "frame " << frame;
        ASSERT_NEAR(-0.5, sample_at(block, frame, 1), 0.01) << "frame " << frame;
    }
}

} // namespace

TEST(Swresample, EqualFormatsGiveTheInputBack) {
    for (int sample_format : {sample_format_s16, sample_format_fltp}) {
        const audio_format_ptr format = format_of(44100, sample_format);
        audio_convert_ptr convert = create_audio_convert(format.get(), format.get());
        audio_data_ptr in = make_audio(*format, 500, channel_marker());
        audio_data_ptr out = convert->convert(in.get());
        ASSERT_EQ(in->size(), out->size());
        EXPECT_EQ(0, std::memcmp(in->data(), out->data(), in->size()));
        EXPECT_EQ(*format, *convert->format());
    }
}

// Interleaved to planar and back, in blocks of odd lengths: each channel
// comes out whole and in order.
TEST(Swresample, ChangesLayoutWithoutMixingChannels) {
    const audio_format_ptr s16 = format_of(44100, sample_format_s16);
    const audio_format_ptr fltp = format_of(44100, sample_format_fltp);
    audio_convert_ptr to_planar = create_audio_convert(fltp.get(), s16.get());
    audio_convert_ptr back = create_audio_convert(s16.get(), fltp.get());
    unsigned int frame = 0;
    for (unsigned int length : {1152u, 7u, 999u, 1u, 2048u}) {
        to_planar->push_back(make_audio(*s16, length, channel_marker(), frame).get());
        frame += length;
    }
    audio_data_ptr planar = to_planar->pop(frame);
    ASSERT_EQ(frame, planar->samples());
    back->push_back(planar.get());
    audio_data_ptr interleaved = back->pop(frame);
    ASSERT_EQ(frame, interleaved->samples());
    for (unsigned int i = 0; i < frame; ++i) {
        ASSERT_EQ(channel_marker()(i, 0), sample_at(*planar, i, 0)) << i;
        ASSERT_EQ(channel_marker()(i, 1), sample_at(*planar, i, 1)) << i;
        ASSERT_EQ(channel_marker()(i, 1), sample_at(*interleaved, i, 1)) << i;
    }
}

TEST(Swresample, FloatPlanarToShortInterleavedBlock) {
    const audio_format_ptr fltp = format_of(44100, sample_format_fltp);
    const audio_format_ptr s16 = format_of(44100, sample_format_s16);
    audio_convert_ptr convert = create_audio_convert(s16.get(), fltp.get());
    convert->push_back(make_audio(*fltp, 1152, channel_marker()).get());
    EXPECT_EQ(1152u, convert->size());
    audio_data_ptr out = convert->pop(1152);
    EXPECT_EQ(4608u, out->size());
    EXPECT_EQ(channel_marker()(1151, 1), sample_at(*out, 1151, 1));
}

TEST(Swresample, RateChangeToPlanarKeepsChannelsApart) {
    const audio_format_ptr source = format_of(48000, sample_format_s16);
    const audio_format_ptr target = format_of(44100, sample_format_s16p);
    audio_convert_ptr convert = create_audio_convert(target.get(), source.get());
    for (int i = 0; i < 10; ++i)
        convert->push_back(make_audio(*source, 1000, two_levels()).get());
    convert->push_back(nullptr);
    audio_data_ptr out = convert->pop(convert->size());
    EXPECT_NEAR(10000.0 * 44100 / 48000, out->samples(), 1.0);
    expect_levels_in_the_middle(*out);
}

TEST(Swresample, LongStreamLosesNoSamples) {
    const audio_format_ptr source = format_of(44100, sample_format_s16);
    const audio_format_ptr target = format_of(48000, sample_format_s16);
    audio_convert_ptr convert = create_audio_convert(target.get(), source.get());
    audio_data_ptr block = make_audio(*source, 4410, test::sine_tone(44100, 440.0));
    unsigned long long in = 0;
    unsigned long long out = 0;
    for (int i = 0; i < 3000; ++i) { // five minutes
        convert->push_back(block.get());
        in += block->samples();
        out += convert->pop(convert->size())->samples();
        // Only the resampler's short filter delay may be outstanding.
        const double expected = in * 48000.0 / 44100.0;
        ASSERT_LE(out, expected + 1) << "block " << i;
        ASSERT_GE(out + 64, expected) << "block " << i;
    }
    convert->push_back(nullptr);
    out += convert->pop(convert->size())->samples();
    EXPECT_NEAR(in * 48000.0 / 44100.0, static_cast<double>(out), 1.0);
    EXPECT_EQ(300ull * 48000, out);
}

TEST(Swresample, FlushOfASameRateConversionGivesNothing) {
    const audio_format_ptr s16 = format_of(44100, sample_format_s16);
    const audio_format_ptr fltp = format_of(44100, sample_format_fltp);
    audio_convert_ptr convert = create_audio_convert(fltp.get(), s16.get());
    convert->push_back(make_audio(*s16, 100, channel_marker()).get());
    convert->push_back(nullptr);
    EXPECT_EQ(100u, convert->size());
}

TEST(Swresample, LayoutsThatSayNothingUseTheDefault) {
    const audio_format_ptr stereo = format_of(44100, sample_format_s16, 2, 3);
    // Layout 0 means the default; a mask of one channel cannot describe two.
    for (uint64_t layout : {0ull, 4ull}) {
        const audio_format_ptr target = format_of(44100, sample_format_s16, 2, layout);
        audio_convert_ptr convert = create_audio_convert(target.get(), stereo.get());
        audio_data_ptr out = convert->convert(make_audio(*stereo, 50, channel_marker()).get());
        ASSERT_EQ(50u, out->samples());
        EXPECT_EQ(layout, out->channel_layout());
        EXPECT_EQ(channel_marker()(49, 1), sample_at(*out, 49, 1));
    }
}

TEST(Swresample, PushQueuesTargetBytesUnconverted) {
    const audio_format_ptr s16 = format_of(44100, sample_format_s16);
    const audio_format_ptr flt = format_of(44100, sample_format_flt);
    audio_convert_ptr convert = create_audio_convert(flt.get(), s16.get());
    audio_data_ptr floats = make_audio(*flt, 20, channel_marker());
    convert->push(floats->data(), floats->size());
    EXPECT_EQ(channel_marker()(19, 0), sample_at(*convert->pop(20), 19, 0));
}

TEST(Swresample, Refusals) {
    const audio_format_ptr s16 = format_of(44100, sample_format_s16);
    EXPECT_THROW(create_audio_convert(nullptr, s16.get()), errors::invalid_pointer);
    EXPECT_THROW(create_audio_convert(s16.get(), nullptr), errors::invalid_pointer);
    try {
        create_audio_convert(format_of(44100, 42).get(), s16.get());
        ADD_FAILURE() << "an unknown sample format was accepted";
    } catch (const ff_swresample::error& e) {
        EXPECT_STREQ("kestrel sdk error", e.what());
        ASSERT_NE(nullptr, boost::get_error_info<errinfo_api_function>(e));
    }

    // Rates no sound has: a file claiming one would make the resampler
    // build a filter of gigabytes.
    for (int rate : {0, -44100, 768001, 1140858688}) {
        EXPECT_THROW(create_audio_convert(s16.get(), format_of(rate, sample_format_s16).get()),
                     ff_swresample::error)
            << rate;
        EXPECT_THROW(create_audio_convert(format_of(rate, sample_format_s16).get(), s16.get()),
                     ff_swresample::error)
            << rate;
    }
    create_audio_convert(s16.get(), format_of(768000, sample_format_s16).get());

    audio_convert_ptr convert = create_audio_convert(s16.get(), s16.get());
    EXPECT_THROW(convert->push_back(make_audio(*format_of(44100, sample_format_s16, 1, 0), 10,
                                               channel_marker()).get()),
                 audio_buffer::invalid_format);
    EXPECT_THROW(convert->push_back(make_audio(*format_of(44100, sample_format_flt), 10,
                                               channel_marker()).get()),
                 audio_buffer::invalid_format);
    EXPECT_EQ(0u, convert->size());
}
