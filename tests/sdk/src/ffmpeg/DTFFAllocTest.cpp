#include "ffmpeg/DTFFAlloc.h"
#include "ffmpeg/DTFFHandles.h"
#include "ffmpeg/DTFFMediaSplitter.h"
#include "ffmpeg/DTFFWideFile.h"
#include "support/MusicFiles.h"

#include "base/DTErrors.h"
#include "media/DTMediaPacket.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

using namespace kestrel;

namespace {

// How many of this process's descriptors lead to the file.
int descriptors_of(const std::string& file) {
    char* real = ::realpath(file.c_str(), nullptr);
    const std::string path = real ? real : file;
    std::free(real);
    int count = 0;
    DIR* folder = ::opendir("/proc/self/fd");
    while (const dirent* entry = folder ? ::readdir(folder) : nullptr) {
        char target[4096];
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
        count += length > 0 && std::string(target, static_cast<std::size_t>(length)) == path;
    }
    if (folder)
        ::closedir(folder);
    return count;
}

} // namespace

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

TEST(FFHandles, DeletersTolerateNullAndReleaseWhatTheyHold) {
    details::_AVPictureDestroy()(nullptr);
    details::_AVFrameDestroy()(nullptr);
    details::_AVPacketDestruct()(nullptr);
    details::_AVCodecContextDestroy()(nullptr);
    details::_AVFormatContextDestruct()(nullptr);
    details::SwrContextFree_()(nullptr);
    details::SwsContextFree_()(nullptr);

    // Packets and decoded frames give back their payload references.
    AVBufferRef* payload = av_buffer_alloc(64);
    {
        AVPacketPtr packet = dt_alloc_packet();
        packet->buf = av_buffer_ref(payload);
        AVFramePtr frame(av_frame_alloc(), details::_AVFrameDestroy());
        frame->buf[0] = av_buffer_ref(payload);
        EXPECT_EQ(3, av_buffer_get_ref_count(payload));
    }
    EXPECT_EQ(1, av_buffer_get_ref_count(payload));
    av_buffer_unref(&payload);

    // An input's deleter closes the file it was read through.
    const std::string tone = test::sample_tone_file("wav");
    const int before = descriptors_of(tone);
    AVFormatContextPtr input = details::dt_av_open_input_file(tone.c_str(), nullptr, nullptr);
    EXPECT_EQ(before + 1, descriptors_of(tone));
    input.reset();
    // Off this machine's block disks (an overlay, tmpfs) the close is left
    // to a thread of its own: it comes a moment later.
    for (int tries = 0; tries < 200 && descriptors_of(tone) != before; ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(before, descriptors_of(tone));

    // A decoder context never opened: its extra data goes with it, and no
    // codec is closed (none is set).
    AVCodecContextPtr context(avcodec_alloc_context3(nullptr), details::_AVCodecContextDestroy());
    ff_alloc(&context->extradata, 10, ff_extradata_padding);
    context->extradata_size = 10;
    EXPECT_EQ(nullptr, context->codec);
    context.reset();
}
