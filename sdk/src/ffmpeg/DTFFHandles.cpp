#include "DTFFHandles.h"

#include "DTFFWideFile.h"
#include "base/DTErrors.h"

extern "C" {
#include <libavutil/imgutils.h>
}

namespace kestrel {
namespace details {

void _AVPictureDestroy::operator()(AVFrame* frame) const {
    if (!frame)
        return;
    if (frame->data[0])
        av_freep(&frame->data[0]);
    for (int i = 0; i < AV_NUM_DATA_POINTERS; ++i) {
        frame->data[i] = nullptr;
        frame->linesize[i] = 0;
    }
    av_frame_free(&frame);
}

void _AVFrameDestroy::operator()(AVFrame* frame) const {
    if (frame)
        av_frame_free(&frame);
}

void _AVPacketDestruct::operator()(AVPacket* packet) const {
    if (packet)
        av_packet_free(&packet);
}

void _AVCodecContextDestroy::operator()(AVCodecContext* context) const {
    if (context)
        avcodec_free_context(&context);
}

void SwrContextFree_::operator()(SwrContext* context) const {
    if (context)
        swr_free(&context);
}

void SwsContextFree_::operator()(SwsContext* context) const { sws_freeContext(context); }

void _AVFormatContextDestruct::operator()(AVFormatContext* context) const {
    if (!context)
        return;
    AVIOContext* io = (context->flags & AVFMT_FLAG_CUSTOM_IO) ? context->pb : nullptr;
    avformat_close_input(&context);
    dt_avio_close(&io);
}

} // namespace details

AVPacketPtr dt_alloc_packet() {
    AVPacketPtr packet(av_packet_alloc(), details::_AVPacketDestruct());
    if (!packet)
        KESTREL_THROW(errors::bad_alloc() << errinfo_api_function("av_packet_alloc"));
    return packet;
}

} // namespace kestrel
