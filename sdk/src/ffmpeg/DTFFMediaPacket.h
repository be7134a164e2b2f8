#pragma once
// A packet over an FFmpeg packet, shared, never copied: what the FFmpeg
// encoders and the splitter hand out.

#include "DTFFHandles.h"
#include "media/DTMediaPacket.h"

namespace kestrel {

class ff_media_packet_impl : public media_packet::Impl {
public:
    ff_media_packet_impl(const AVPacketPtr& packet, int media_type, dt_rational_t time_base,
                         dt_rational_t frame_rate)
        : packet_(packet), media_type_(media_type), time_base_(time_base),
          frame_rate_(frame_rate) {}

    dt_ts_t pts() const override { return packet_->pts; }
    dt_ts_t dts() const override { return packet_->dts; }
    uint8_t* data() const override { return packet_->data; }
    int size() const override { return packet_->size; }
    int stream_index() const override { return packet_->stream_index; }
    int flags() const override { return packet_->flags; }
    int duration() const override { return static_cast<int>(packet_->duration); }
    dt_ts_t pos() const override { return packet_->pos; }
    int media_type() const override { return media_type_; }
    bool ffmpeg_packet() const override { return true; }
    dt_rational_t time_base() const override { return time_base_; }
    dt_rational_t frame_rate() const override { return frame_rate_; }

    const AVPacketPtr& packet() const { return packet_; }

private:
    AVPacketPtr packet_;
    int media_type_;
    dt_rational_t time_base_;
    dt_rational_t frame_rate_;
};

class ff_media_packet : public media_packet {
public:
    explicit ff_media_packet(const AVPacketPtr& packet, int media_type = dt_media_type_unknown,
                             dt_rational_t time_base = dt_rational_t(),
                             dt_rational_t frame_rate = dt_rational_t())
        : media_packet(new ff_media_packet_impl(packet, media_type, time_base, frame_rate)) {}

    // The FFmpeg packet behind a packet, or null for packets of other kinds.
    static AVPacket* av_packet(const media_packet& packet);
};

// The packet as a decoder wants it: a new reference to the FFmpeg packet
// behind it (time stamps and side data included), or a copy of another
// packet's bytes, stamps, duration and flags with the zero padding FFmpeg
// reads past the end. errors::bad_alloc when FFmpeg has no memory.
AVPacketPtr dt_decoder_packet(const media_packet& packet);

} // namespace kestrel
