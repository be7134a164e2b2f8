#include "base/DTErrors.h"
#include "ffmpeg/DTFFMediaPacket.h"
#include "media/DTCodecExtraData.h"
#include "media/DTMediaPacket.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kestrel;

namespace {

int free_calls = 0;
void counting_free(uint8_t** buffer) {
    ++free_calls;
    std::free(*buffer);
    *buffer = nullptr;
}

struct CountingAllocator {
    static dt_alloc_function alloc_buffer() { return &Allocator::DefaultBufferAllocator<uint8_t>::AllocBuffer; }
    static dt_free_function free_buffer() { return &counting_free; }
};

AVPacketPtr ffmpeg_packet_with(const std::string& bytes) {
    AVPacketPtr packet = dt_alloc_packet();
    av_new_packet(packet.get(), static_cast<int>(bytes.size()));
    std::memcpy(packet->data, bytes.data(), bytes.size());
    packet->pts = 3;
    packet->dts = 2;
    packet->stream_index = 1;
    packet->flags = 1;
    packet->duration = 40;
    packet->pos = 1234;
    return packet;
}

} // namespace

TEST(MediaPacket, FilledPacketStartsAtItsDefaults) {
    common_media_packet2 packet;
    uint8_t bytes[] = {1, 2, 3};
    packet.properties()->set_data(bytes, 3, dt_buffer_copy);
    packet.properties()->set_media_type(dt_media_type_video);
    EXPECT_EQ(0, packet.pts());
    EXPECT_EQ(0, packet.dts());
    EXPECT_EQ(0, packet.stream_index());
    EXPECT_EQ(0, packet.flags());
    EXPECT_EQ(0, packet.duration());
    EXPECT_EQ(0, packet.pos());
    EXPECT_FALSE(packet.ffmpeg_packet());
    EXPECT_EQ(dt_rational_t(0, 1), packet.time_base());
    EXPECT_EQ(dt_rational_t(0, 1), packet.frame_rate());
    EXPECT_EQ(3, packet.size());
    EXPECT_NE(bytes, packet.data());
    EXPECT_EQ(2, packet.data()[1]);
}

TEST(MediaPacket, SetDataByMode) {
    common_media_packet2 packet;
    uint8_t bytes[] = {9, 8, 7, 6};
    packet.properties()->set_data(bytes, 0, dt_buffer_copy);
    EXPECT_EQ(nullptr, packet.data());
    EXPECT_EQ(0, packet.size());

    packet.properties()->set_data(bytes, 4, dt_buffer_borrow);
    EXPECT_EQ(bytes, packet.data());
    packet.properties()->set_data(bytes + 1, 2, 7); // unknown mode: nothing changes
    EXPECT_EQ(bytes, packet.data());
    EXPECT_EQ(4, packet.size());
}

TEST(MediaPacket, CopyFromNoBytesIsRefused) {
    common_media_packet2 packet;
    uint8_t bytes[] = {5};
    packet.properties()->set_data(bytes, 1, dt_buffer_copy);
    try {
        packet.properties()->set_data(nullptr, 10, dt_buffer_copy);
        ADD_FAILURE() << "copied from null";
    } catch (const errors::invalid_pointer& e) {
        EXPECT_STREQ("invalid pointer", e.what());
    }
    ASSERT_EQ(1, packet.size()); // the packet keeps its bytes
    EXPECT_EQ(5, packet.data()[0]);

    codec_extra_data_common extra;
    EXPECT_THROW(extra.setter()->add_data("tag", nullptr, 10, dt_buffer_copy),
                 errors::invalid_pointer);
    EXPECT_EQ(0u, extra.count());
}

TEST(MediaPacket, AdoptedBufferIsFreedOnceByTheLastHolder) {
    free_calls = 0;
    {
        common_media_packet2_t<CountingAllocator> packet;
        packet.properties()->set_data(static_cast<uint8_t*>(std::malloc(16)), 16, dt_buffer_adopt);
        EXPECT_EQ(16, packet.size());
    }
    EXPECT_EQ(1, free_calls);

    free_calls = 0;
    {
        common_media_packet2_t<CountingAllocator> packet;
        packet.properties()->set_data(static_cast<uint8_t*>(std::malloc(4)), 4, dt_buffer_adopt);
        packet.properties()->set_data(static_cast<uint8_t*>(std::malloc(4)), 4, dt_buffer_adopt);
        EXPECT_EQ(1, free_calls); // the first buffer, when it was replaced
    }
    EXPECT_EQ(2, free_calls);
}

TEST(MediaPacket, CopyOfAnFFmpegPacketOutlivesIt) {
    media_packet_ptr copy;
    {
        ff_media_packet packet(ffmpeg_packet_with("hello"), dt_media_type_audio,
                               dt_rational_t(1, 44100), dt_rational_t(25, 1));
        EXPECT_TRUE(packet.ffmpeg_packet());
        copy = packet.copy();
    }
    EXPECT_EQ(5, copy->size());
    EXPECT_EQ(0, std::memcmp("hello\0\0\0\0\0\0\0\0", copy->data(), 13));
    EXPECT_EQ(3, copy->pts());
    EXPECT_EQ(2, copy->dts());
    EXPECT_EQ(1, copy->stream_index());
    EXPECT_EQ(1, copy->flags());
    EXPECT_EQ(40, copy->duration());
    EXPECT_EQ(1234, copy->pos());
    EXPECT_EQ(dt_media_type_audio, copy->media_type());
    EXPECT_TRUE(copy->ffmpeg_packet());
    EXPECT_EQ(dt_rational_t(1, 44100), copy->time_base());
    EXPECT_EQ(dt_rational_t(25, 1), copy->frame_rate());
}

TEST(MediaPacket, CopyOfAnEmptyPacketAndAPacketAlone) {
    common_media_packet2 empty;
    empty.properties()->set_data(boost::shared_ptr<uint8_t>(), 6);
    auto copy = empty.copy();
    EXPECT_EQ(nullptr, copy->data());
    EXPECT_EQ(6, copy->size());

    ff_media_packet alone(ffmpeg_packet_with("x"));
    EXPECT_EQ(dt_media_type_unknown, alone.media_type());
    EXPECT_THROW(common_media_packet(static_cast<const media_packet*>(nullptr)),
                 errors::invalid_pointer);
}

TEST(MediaPacket, PacketByteHelpers) {
    EXPECT_THROW(dt_alloc(nullptr, 4, 8), errors::invalid_pointer);
    uint8_t* buffer = nullptr;
    copy_packet_bytes(&buffer, 0, reinterpret_cast<const uint8_t*>("abc"));
    EXPECT_EQ(nullptr, buffer);
    copy_packet_bytes(&buffer, 3, reinterpret_cast<const uint8_t*>("abc"));
    ASSERT_NE(nullptr, buffer);
    EXPECT_EQ(0, std::memcmp("abc\0\0\0\0\0\0\0\0", buffer, 11));
    free_packet_bytes(&buffer);
    EXPECT_EQ(nullptr, buffer);
    free_packet_bytes(&buffer);
    free_packet_bytes(nullptr);
}

TEST(CodecExtraData, RecordsAndFind) {
    codec_extra_data_common extra;
    uint8_t id3[] = {'I', 'D', '3'};
    extra.setter()->add_data("id3", id3, 3, dt_buffer_copy);
    extra.setter()->add_data("id3", id3, 2, dt_buffer_borrow);
    extra.setter()->add_data("empty", id3, 0, dt_buffer_copy);
    extra.setter()->add_data("ignored", id3, 3, 9);
    ASSERT_EQ(3u, extra.count());
    EXPECT_NE(id3, extra.data(0));
    EXPECT_EQ(id3, extra.data(1));
    EXPECT_EQ(nullptr, extra.data(2));
    EXPECT_EQ("empty", extra.name(2));

    size_t index = 99;
    EXPECT_TRUE(extra.find("id3", index));
    EXPECT_EQ(0u, index);
    index = 99;
    EXPECT_FALSE(extra.find("id", index));
    EXPECT_FALSE(extra.find("id33", index));
    EXPECT_EQ(99u, index);
    EXPECT_THROW(extra.size(3), std::out_of_range);
}
