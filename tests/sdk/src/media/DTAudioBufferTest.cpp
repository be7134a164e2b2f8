#include "media/DTAudioBuffer.h"

#include "support/AudioSignals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace kestrel;
using kestrel::test::channel_marker;
using kestrel::test::channel_samples;
using kestrel::test::make_audio;

namespace {

audio_format_ptr format_of(int sample_format, int channels = 2, uint64_t layout = 3) {
    return audio_format::create(44100, sample_format, channels, layout);
}

// The marker signal's frames [first, first + count) of one channel.
std::vector<double> expected(unsigned int first, unsigned int count, int channel) {
    std::vector<double> values;
    for (unsigned int frame = first; frame < first + count; ++frame)
        values.push_back(channel_marker()(frame, channel));
    return values;
}

class AudioBufferLayouts : public ::testing::TestWithParam<int> {};

} // namespace

// Blocks joined in a buffer come out with each channel's samples together
// and in order, across chunk boundaries, for planar and interleaved alike.
TEST_P(AudioBufferLayouts, KeepsEveryChannelInOrderAcrossChunks) {
    const audio_format_ptr format = format_of(GetParam());
    audio_buffer_ptr buffer = audio_buffer::create(0, format.get());
    buffer->push_back(make_audio(*format, 100, channel_marker(), 0).get());
    buffer->push_back(make_audio(*format, 100, channel_marker(), 100).get());
    buffer->push_back(make_audio(*format, 37, channel_marker(), 200).get());
    ASSERT_EQ(237u, buffer->size());

    audio_data_ptr first = buffer->pop(150);
    ASSERT_EQ(150u, first->samples());
    EXPECT_EQ(GetParam(), first->sample_format());
    EXPECT_EQ(expected(0, 150, 0), channel_samples(*first, 0));
    EXPECT_EQ(expected(0, 150, 1), channel_samples(*first, 1));

    audio_data_ptr rest = buffer->pop(5000);
    ASSERT_EQ(87u, rest->samples());
    EXPECT_EQ(expected(150, 87, 0), channel_samples(*rest, 0));
    EXPECT_EQ(expected(150, 87, 1), channel_samples(*rest, 1));
    EXPECT_EQ(0u, buffer->size());

    audio_data_ptr none = buffer->pop(10);
    ASSERT_TRUE(none);
    EXPECT_EQ(0u, none->samples());
    EXPECT_EQ(0u, none->size());
}

TEST_P(AudioBufferLayouts, RawBytesAreTakenInTheBuffersLayout) {
    const audio_format_ptr format = format_of(GetParam());
    audio_buffer_ptr buffer = audio_buffer::create(0, format.get());
    audio_data_ptr block = make_audio(*format, 64, channel_marker());
    buffer->push(block->data(), block->size());
    buffer->push(nullptr, 128);
    buffer->push(block->data(), 0);
    audio_data_ptr out = buffer->pop(64);
    EXPECT_EQ(64u, buffer->size() + out->samples());
    EXPECT_EQ(expected(0, 64, 1), channel_samples(*out, 1));
}

// Counts far beyond what is held give what is held, without a byte count
// that wraps or an allocation for what is not there.
TEST_P(AudioBufferLayouts, HugePopGivesWhatIsHeld) {
    const audio_format_ptr format = format_of(GetParam());
    audio_buffer_ptr buffer = audio_buffer::create(0, format.get());
    for (unsigned int frames : {1u << 30, 0x40000001u, 0xffffffffu}) {
        buffer->push_back(make_audio(*format, 100, channel_marker()).get());
        audio_data_ptr block = buffer->pop(frames);
        ASSERT_EQ(100u, block->samples()) << frames;
        EXPECT_EQ(expected(0, 100, 1), channel_samples(*block, 1));
        EXPECT_EQ(0u, buffer->size());
    }
}

TEST_P(AudioBufferLayouts, NullBlockChangesNothing) {
    const audio_format_ptr format = format_of(GetParam());
    audio_buffer_ptr buffer = audio_buffer::create(0, format.get());
    buffer->push_back(nullptr);
    EXPECT_EQ(0u, buffer->size());
}

TEST_P(AudioBufferLayouts, FormatIsAnOwnCopy) {
    const audio_format_ptr format = format_of(GetParam());
    audio_buffer_ptr buffer = audio_buffer::create(0, format.get());
    EXPECT_NE(format, buffer->format());
    EXPECT_EQ(*format, *buffer->format());
}

INSTANTIATE_TEST_SUITE_P(SampleFormats, AudioBufferLayouts,
                         ::testing::Values(sample_format_s16, sample_format_flt,
                                           sample_format_s16p, sample_format_fltp,
                                           sample_format_dblp),
    [](const ::testing::TestParamInfo<int>& info) { return sample_format_name(info.param); });

TEST(AudioBuffer, PlanarPopPlacesTheSecondChannelAfterTheFirst) {
    const audio_format_ptr format = format_of(sample_format_s16p);
    audio_buffer_ptr buffer = audio_buffer::create(0, format.get());
    buffer->push_back(make_audio(*format, 1000, channel_marker()).get());
    EXPECT_EQ(1000u, buffer->size());
    audio_data_ptr block = buffer->pop(300);
    EXPECT_EQ(300u, block->samples());
    EXPECT_EQ(1200u, block->size());
    int16_t second_channel_first_sample;
    std::memcpy(&second_channel_first_sample, block->data() + 600, 2);
    EXPECT_EQ(-16, second_channel_first_sample); // -1/2048 at 16 bits
    EXPECT_EQ(700u, buffer->size());
    EXPECT_EQ(700u, buffer->pop(5000)->samples());
    EXPECT_EQ(0u, buffer->size());
}

TEST(AudioBuffer, InterleavedComparesLayoutButNotRate) {
    const audio_format_ptr format = format_of(sample_format_s16);
    audio_buffer_ptr buffer = audio_buffer::create(0, format.get());
    buffer->push_back(make_audio(*audio_format::create(48000, sample_format_s16, 2, 3), 10,
                                 channel_marker()).get());
    EXPECT_EQ(10u, buffer->size());
    EXPECT_THROW(buffer->push_back(make_audio(*format_of(sample_format_s16, 2, 0), 10,
                                              channel_marker()).get()),
                 audio_buffer::invalid_format);
    EXPECT_THROW(buffer->push_back(make_audio(*format_of(sample_format_flt), 10,
                                              channel_marker()).get()),
                 audio_buffer::invalid_format);
    EXPECT_EQ(10u, buffer->size());
}

TEST(AudioBuffer, PlanarRefusesBlocksItWouldReadPastTheEndOf) {
    const audio_format_ptr format = format_of(sample_format_fltp);
    audio_buffer_ptr buffer = audio_buffer::create(0, format.get());
    EXPECT_THROW(buffer->push_back(make_audio(*format_of(sample_format_fltp, 1, 0), 10,
                                              channel_marker()).get()),
                 audio_buffer::invalid_format);
    EXPECT_THROW(buffer->push_back(make_audio(*format_of(sample_format_s16p), 10,
                                              channel_marker()).get()),
                 audio_buffer::invalid_format);
    // The layout and the rate are not the planar storage's business.
    buffer->push_back(make_audio(*format_of(sample_format_fltp, 2, 0), 10, channel_marker()).get());
    EXPECT_EQ(10u, buffer->size());
}

TEST(AudioBuffer, RefusesFormatsWithoutFrames) {
    EXPECT_FALSE(audio_buffer::create(1, format_of(sample_format_s16).get()));
    EXPECT_THROW(audio_buffer::create(0, nullptr), errors::invalid_pointer);
    EXPECT_THROW(audio_buffer_same_format(nullptr), errors::invalid_pointer);
    EXPECT_EQ(nullptr, create_audio_buffer(nullptr));
    EXPECT_THROW(audio_buffer::create(0, format_of(sample_format_s16, 0).get()),
                 audio_buffer::invalid_format);
    EXPECT_THROW(audio_buffer::create(0, format_of(sample_format_fltp, 0).get()),
                 audio_buffer::invalid_format);
    EXPECT_THROW(audio_buffer::create(0, format_of(42).get()), audio_buffer::invalid_format);
    try {
        audio_buffer::create(0, format_of(sample_format_s16p, 0).get());
        ADD_FAILURE() << "a buffer without channels was made";
    } catch (const audio_buffer::invalid_format& e) {
        EXPECT_STREQ("Invalid audio format", e.what());
    }
}
