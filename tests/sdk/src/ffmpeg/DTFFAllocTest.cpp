#include "ffmpeg/DTFFAlloc.h"
#include "ffmpeg/DTFFHandles.h"

#include "DTErrors.h"
#include "DTMediaPacket.h"

#include <cstdint>

#include <gtest/gtest.h>

#include <algorithm>

using namespace kestrel;

TEST(FFAlloc, PaddingIsZero) {
    uint8_t* buffer = nullptr;
    ff_alloc(&buffer, 0, 16);
    ASSERT_NE(nullptr, buffer);
    EXPECT_TRUE(std::all_of(buffer, buffer + 16, [](uint8_t b) { return b == 0; }));
    ff_free(&buffer);
    EXPECT_EQ(nullptr, buffer);
    ff_free(&buffer);
    EXPECT_THROW(ff_alloc(nullptr, 4, 4), errors::invalid_pointer);
}

// A size whose padding would wrap around is refused before anything is
// written.
TEST(FFAlloc, SizeThatWrapsIsRefused) {
    for (std::size_t size : {SIZE_MAX, SIZE_MAX - 3, SIZE_MAX - 15}) {
        uint8_t* buffer = reinterpret_cast<uint8_t*>(0x1);
        EXPECT_THROW(ff_alloc(&buffer, size, 16), errors::bad_alloc) << size;
        EXPECT_EQ(nullptr, buffer);
        buffer = reinterpret_cast<uint8_t*>(0x1);
        EXPECT_THROW(dt_alloc(&buffer, size, 16), errors::bad_alloc) << size;
    }
}

TEST(FFAlloc, CopyOfNothingAllocatesNothing) {
    const uint8_t bytes[] = {1, 2, 3};
    uint8_t* buffer = reinterpret_cast<uint8_t*>(0x1);
    ff_alloc_copy(&buffer, nullptr, 3, 16);
    EXPECT_EQ(nullptr, buffer);
    ff_alloc_copy(&buffer, bytes, 0, 16);
    EXPECT_EQ(nullptr, buffer);

    ff_alloc_copy(&buffer, bytes, 3, ff_extradata_padding);
    ASSERT_NE(nullptr, buffer);
    EXPECT_EQ(3, buffer[2]);
    EXPECT_GE(ff_extradata_padding, 16u);
    EXPECT_TRUE(std::all_of(buffer + 3, buffer + 3 + ff_extradata_padding,
                            [](uint8_t b) { return b == 0; }));
    ff_free(&buffer);
}

TEST(FFHandles, DeletersTolerateNullAndUnopenedContexts) {
    details::_AVPictureDestroy()(nullptr);
    details::_AVFrameDestroy()(nullptr);
    details::_AVPacketDestruct()(nullptr);
    details::_AVCodecContextDestroy()(nullptr);
    details::SwrContextFree_()(nullptr);
    details::SwsContextFree_()(nullptr);

    // A decoder context that was never opened: its extra data goes with it.
    AVCodecContextPtr context(avcodec_alloc_context3(nullptr), details::_AVCodecContextDestroy());
    ff_alloc(&context->extradata, 10, ff_extradata_padding);
    context->extradata_size = 10;
    context.reset();

    AVPacketPtr packet = dt_alloc_packet();
    EXPECT_EQ(0, av_new_packet(packet.get(), 100));
}
