#include "DTFFVideoDecoder.h"

#include "DTFFAlloc.h"
#include "DTFFCodec.h"
#include "DTFFDecoderInfo.h"
#include "DTFFGlobal.h"
#include "DTFFMediaPacket.h"
#include "DTFFPicture.h"

#include <boost/make_shared.hpp>


namespace kestrel {

namespace {

const ffmpeg_global_init_request ffmpeg_init;

const std::size_t matrix_bytes = 64 * sizeof(uint16_t);

[[noreturn]] void fail_decoding(int result) {
    KESTREL_THROW(decoder::decode_error() << errinfo_api_function("avcodec_decode_video")
                                          << errinfo_errno(-result));
}

uint16_t* copy_matrix(const uint16_t* matrix) {
    uint8_t* copy = nullptr;
    ff_alloc_copy(&copy, reinterpret_cast<const uint8_t*>(matrix), matrix ? matrix_bytes : 0, 0);
    return reinterpret_cast<uint16_t*>(copy);
}

double seconds_per_tick(dt_rational_t time_base) {
    return time_base.den != 0 ? static_cast<double>(time_base.num) / time_base.den : 0.0;
}

// One frame at the rate; 0 for a rate nobody set.
double frame_seconds(dt_rational_t rate) {
    return rate.num > 0 && rate.den > 0 ? static_cast<double>(rate.den) / rate.num : 0.0;
}

// A context set up from the description's codec and picture fields.
AVCodecContextPtr video_context(const video_decoder_info& info) {
    AVCodecContextPtr context = dt_create_decoder_context(info);
    AVCodecContext* c = context.get();
    c->inter_matrix = copy_matrix(info.inter_matrix());
    c->intra_matrix = copy_matrix(info.intra_matrix());
    c->width = info.width();
    c->height = info.height();
    c->pix_fmt = static_cast<AVPixelFormat>(info.pixel_format());
    c->refs = info.refs();
    const dt_rational_t aspect = info.sample_aspect_ratio();
    c->sample_aspect_ratio = AVRational{aspect.num, aspect.den};
    c->has_b_frames = info.has_b_frames() ? 1 : 0;
    c->ticks_per_frame = info.ticks_per_frame();
    return context;
}

} // namespace

ff_video_decoder_impl::ff_video_decoder_impl(const video_decoder_info& info)
    : context_(video_context(info)),
      additional_info_(dt_open_named_decoder<video_decoder_additional_info>(context_.get())) {}

void ff_video_decoder_impl::reset() {
    has_clock_ = false;
    clock_ = 0.0;
    avcodec_flush_buffers(context_.get());
}

bool ff_video_decoder_impl::receive_frame(AVFrame* frame) {
    const int result = avcodec_receive_frame(context_.get(), frame);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
        return false;
    if (result < 0)
        fail_decoding(result);
    return true;
}

bool ff_video_decoder_impl::decode_frame(const media_packet* packet, AVFrame* frame) {
    // A packet without bytes would tell the codec that the stream ended.
    if (packet && (packet->size() <= 0 || !packet->data()))
        return false;
    AVPacketPtr input = packet ? dt_decoder_packet(*packet) : AVPacketPtr();
    int result = avcodec_send_packet(context_.get(), input.get());
    if (result == AVERROR(EAGAIN)) {
        // A picture waits to be taken before the codec takes more: it is
        // this call's picture, and the packet goes in after it.
        const bool got = receive_frame(frame);
        result = avcodec_send_packet(context_.get(), input.get());
        if (result < 0 && result != AVERROR(EAGAIN) && result != AVERROR_EOF)
            fail_decoding(result);
        return got;
    }
    // After the end of the stream the codec takes nothing more but still
    // hands out what it holds.
    if (result < 0 && result != AVERROR_EOF)
        fail_decoding(result);
    return receive_frame(frame);
}

video_data_ptr ff_video_decoder_impl::picture_of(const AVFramePtr& frame) const {
    if (!frame->data[0])
        return video_data_ptr();
    // The codec reuses its picture buffers: the caller gets its own copy.
    return ff_video_data(frame, frame->width, frame->height, frame->format).copy();
}

video_data_ptr ff_video_decoder_impl::decode(media_packet_ptr packet) {
    AVFramePtr frame = dt_create_decoded_frame();
    if (!decode_frame(packet.get(), frame.get()))
        return video_data_ptr();
    return picture_of(frame);
}

video_data_timed_ptr ff_video_decoder_impl::decode_timed(media_packet_ptr packet) {
    if (packet) {
        time_base_ = packet->time_base();
        frame_rate_ = packet->frame_rate();
    }
    AVFramePtr frame = dt_create_decoded_frame();
    if (!decode_frame(packet.get(), frame.get()))
        return video_data_timed_ptr();

    dt_ts_t stamp = 0;
    if (packet && packet->dts() != AV_NOPTS_VALUE)
        stamp = packet->dts();
    else if (frame->pts != AV_NOPTS_VALUE) // the packet's pts, carried through reordering
        stamp = frame->pts;
    const double tick = seconds_per_tick(time_base_);
    const double start = tick * static_cast<double>(stamp);
    double duration = frame_seconds(frame_rate_);
    if (has_clock_)
        duration = start - clock_;
    clock_ = start;
    has_clock_ = true;
    if (packet && packet->duration() > 0)
        duration = tick * packet->duration();
    duration += duration * 0.5 * frame->repeat_pict;

    const video_data_ptr picture = picture_of(frame);
    if (!picture)
        return video_data_timed_ptr();
    return boost::make_shared<video_data_timed>(picture, duration * 1000.0, start * 1000.0);
}

decoder_info_ptr ff_video_decoder_impl::get_decoder_info() {
    return boost::make_shared<ff_video_decoder_info>(context_.get());
}

ff_video_decoder::ff_video_decoder(const video_decoder_info& info, void*)
    : video_decoder(new ff_video_decoder_impl(info)) {}

video_decoder_ptr create_video_decoder(const video_decoder_info& info, void* extra) {
    if (info.extra_value() != 0)
        return video_decoder_ptr();
    return boost::make_shared<ff_video_decoder>(info, extra);
}

} // namespace kestrel
