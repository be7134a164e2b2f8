#pragma once
// The FFmpeg video decoder: each packet of one video stream gives at most
// one picture, a deep copy in the stream's own size and pixel format. Timed
// pictures start at the packet's decoding stamp (else at the presentation
// stamp that travelled with the picture through the codec's reordering,
// else at 0) and last the packet's duration, else the gap since the
// previous picture's start, else one frame of the packet's frame rate;
// each repeated field adds half of that. Throws decoder::create_error when
// the codec cannot be opened and decoder::decode_error (naming
// "avcodec_decode_video") when a packet cannot be decoded; the decoder stays
// usable. One thread at a time.

#include "DTFFHandles.h"
#include "media/DTDecoder.h"

namespace kestrel {

class ff_video_decoder_impl : public video_decoder::Impl {
public:
    explicit ff_video_decoder_impl(const video_decoder_info& info);

    // Forgets the timing and flushes the codec, e.g. after a seek.
    void reset() override;
    video_data_ptr decode(media_packet_ptr packet) override;
    video_data_timed_ptr decode_timed(media_packet_ptr packet) override;
    // The open codec as it is now (coded size and the like).
    decoder_info_ptr get_decoder_info() override;
    video_decoder_additional_info_ptr get_additional_info() override { return additional_info_; }

private:
    // The picture the packet completes into `frame` (null packet: one the
    // codec still holds); false for none.
    bool decode_frame(const media_packet* packet, AVFrame* frame);
    bool receive_frame(AVFrame* frame);
    // A deep copy of the decoded picture; empty for a picture without planes.
    video_data_ptr picture_of(const AVFramePtr& frame) const;

    AVCodecContextPtr context_;
    video_decoder_additional_info_ptr additional_info_;
    bool has_clock_ = false;
    double clock_ = 0.0; // seconds: start of the last timed picture
    // Of the last packet, for the pictures the codec gives at the end.
    dt_rational_t time_base_;
    dt_rational_t frame_rate_;
};

class ff_video_decoder : public video_decoder {
public:
    ff_video_decoder(const video_decoder_info& info, void* extra);
};

} // namespace kestrel
