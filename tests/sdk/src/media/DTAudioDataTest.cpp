#include "media/DTAudioData.h"

#include <gtest/gtest.h>

#include <cmath>

#include <algorithm>
#include <vector>

using namespace kestrel;

namespace {
audio_format_ptr stereo_s16() { return audio_format::create(44100, sample_format_s16, 2, 3); }
} // namespace

TEST(AudioData, OwnershipModes) {
    std::vector<uint8_t> memory(4096, 7);
    {
        audio_data_common borrowed(*stereo_s16(), memory.data(), 4096, dt_buffer_borrow);
        EXPECT_EQ(memory.data(), borrowed.data());
        EXPECT_EQ(1024u, borrowed.samples());
        EXPECT_EQ(4, borrowed.frame_size());
        EXPECT_EQ(16, borrowed.bits_per_sample());
        EXPECT_EQ(3u, borrowed.channel_layout());
    }
    EXPECT_EQ(7, memory[0]); // left alone

    auto copied = std::make_unique<audio_data_common>(*stereo_s16(), memory.data(), 4096,
                                                      dt_buffer_copy);
    EXPECT_NE(memory.data(), copied->data());
    memory.assign(memory.size(), 0);
    EXPECT_EQ(7, copied->data()[4095]);

    audio_data_common unset(*stereo_s16(), nullptr, 400, dt_buffer_copy);
    EXPECT_EQ(400u, unset.size());
    EXPECT_NE(nullptr, unset.data());

    uint8_t* adopted_bytes = alloc_sample_bytes(10);
    audio_data_common adopted(*stereo_s16(), adopted_bytes, 10, dt_buffer_adopt);
    EXPECT_EQ(2u, adopted.samples()); // rounds down
}

TEST(AudioData, ZeroBytesPerFrameGivesNoSamples) {
    std::vector<uint8_t> memory(64);
    audio_data_common unknown(*audio_format::create(44100, 42, 2), memory.data(), 64,
                              dt_buffer_borrow);
    EXPECT_EQ(0u, unknown.samples());
    audio_data_common no_channels(*audio_format::create(44100, sample_format_s16, 0),
                                  memory.data(), 64, dt_buffer_borrow);
    EXPECT_EQ(0u, no_channels.samples());
}

TEST(AudioData, Silence) {
    auto one_second = create_silence(*audio_format::create(44100, sample_format_s16, 2), 1000);
    EXPECT_EQ(44100u, one_second->samples());
    EXPECT_EQ(44100u * 4, one_second->size());
    EXPECT_TRUE(std::all_of(one_second->data(), one_second->data() + one_second->size(),
                            [](uint8_t b) { return b == 0; }));

    EXPECT_EQ(24000u, create_silence(*audio_format::create(48000, sample_format_flt, 1), 500)->samples());
    auto tiny = create_silence(*audio_format::create(44100, sample_format_s16, 2), 0.01);
    EXPECT_EQ(0u, tiny->samples());
    EXPECT_EQ(0u, tiny->size());

    auto u8 = create_silence(*audio_format::create(8000, sample_format_u8, 1), 10);
    EXPECT_EQ(80u, u8->size());
    EXPECT_TRUE(std::all_of(u8->data(), u8->data() + u8->size(), [](uint8_t b) { return b == 0x80; }));

    EXPECT_EQ(0u, create_silence(*stereo_s16(), -5)->size());
    EXPECT_EQ(0u, create_silence(*stereo_s16(), std::nan(""))->size());
    EXPECT_THROW(create_silence(*stereo_s16(), 1e8), errors::invalid_argument);
    EXPECT_THROW(create_silence_frames(*stereo_s16(), 0x40000000u), errors::invalid_argument);
    EXPECT_EQ(441u, create_audio_for_duration(*stereo_s16(), 10)->samples());
}
