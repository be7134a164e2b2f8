#include "DTFFMediaMuxer.h"

#include "DTFFGlobal.h"
#include "DTFFPacketStamps.h"
#include "DTFFWideFile.h"
#include "base/DTLog.h"

extern "C" {
#include <libavutil/mathematics.h>
}

#include <cstring>

namespace kestrel {

namespace {

const ffmpeg_global_init_request ffmpeg_init;

// An output context with our own I/O context: FFmpeg never closes that,
// so it is closed here (when close() has not done so already).
struct _AVOutputFormatContextDestruct {
    void operator()(AVFormatContext* context) const {
        if (!context)
            return;
        if (context->oformat && !(context->oformat->flags & AVFMT_NOFILE) && context->pb)
            dt_avio_close(&context->pb);
        avformat_free_context(context);
    }
};

const AVOutputFormat* dt_av_guess_format(const char* short_name, const char* mime_type) {
    const AVOutputFormat* format = av_guess_format(short_name, nullptr, mime_type);
    if (!format)
        KESTREL_THROW(media_muxer::error_invalid_format()
                      << errinfo_api_function("av_guess_format"));
    return format;
}

AVFormatContextPtr dt_avformat_alloc_output_context2(const AVOutputFormat* format,
                                                     const char* format_name,
                                                     const char* file_name) {
    AVFormatContext* context = nullptr;
    const int result = avformat_alloc_output_context2(&context, format, format_name, file_name);
    if (result < 0 || !context)
        KESTREL_THROW(media_muxer::error("failed")
                      << errinfo_api_function("avformat_alloc_output_context2")
                      << errinfo_errno(-result));
    return AVFormatContextPtr(context, _AVOutputFormatContextDestruct());
}

// One stream per encoder; containers that keep codec headers apart from the
// packets make the encoders put them into their extra data when they open.
AVFormatContextPtr dt_av_create_output_format_context(const std::string& format,
                                                      const std::vector<void*>& codecs) {
    AVFormatContextPtr context = dt_avformat_alloc_output_context2(
        dt_av_guess_format(format.c_str(), nullptr), nullptr, nullptr);
    for (void* codec : codecs) {
        if (!avformat_new_stream(context.get(), nullptr))
            KESTREL_THROW(media_muxer::error("failed")
                          << errinfo_api_function("avformat_new_stream"));
        auto* encoder = static_cast<AVCodecContext*>(codec);
        if (encoder && (context->oformat->flags & AVFMT_GLOBALHEADER))
            encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    return context;
}

void do_interleaved_write_packet(AVPacket* packet, AVFormatContext* context) {
    const int result = av_interleaved_write_frame(context, packet);
    if (result < 0)
        KESTREL_THROW(media_muxer::error_write_packet()
                      << errinfo_api_function("av_interleaved_write_frame")
                      << errinfo_errno(-result));
}

[[noreturn]] void fail_open(const std::string& text) {
    log_line(logger::error()) << text << std::endl;
    KESTREL_THROW(errors::failure(text));
}

AVRational to_av(dt_rational_t r) { return AVRational{r.num, r.den}; }

} // namespace

ff_simple_media_muxer_impl::ff_simple_media_muxer_impl(const std::string& format,
                                                       const std::string& path,
                                                       std::vector<void*> codecs)
    : formatContext_(dt_av_create_output_format_context(format, codecs)),
      stamps_(formatContext_->nb_streams, formatContext_->oformat->flags & AVFMT_TS_NONSTRICT),
      path_(path) {
    externalCodecs_.assign(codecs.begin(), codecs.end());
}

void ff_simple_media_muxer_impl::open() {
    log_line(logger::info()) << "[ff_simple_media_muxer_impl] open" << std::endl;
    if (!formatContext_ || open_tried_)
        KESTREL_THROW(errors::invalid_operation());
    open_tried_ = true;
    copy_encoder_parameters();
    create_file();
    const int result = avformat_write_header(formatContext_.get(), nullptr);
    if (result < 0) {
        log_line(logger::error())
            << "[ff_simple_media_muxer_impl::open] avformat_write_header failed (" << result << ")"
            << std::endl;
        KESTREL_THROW(media_muxer::error_write_header()
                      << errinfo_api_function("avformat_write_header") << errinfo_errno(-result));
    }
    headerWritten_ = true;
}

// The streams take what the opened encoders settled on, extra data (with
// the padding FFmpeg wants) included.
void ff_simple_media_muxer_impl::copy_encoder_parameters() {
    AVFormatContext* context = formatContext_.get();
    if (context->nb_streams != externalCodecs_.size())
        fail_open("[ff_simple_media_muxer_impl::open] nb_streams and externalCodecs_ must be same");
    for (unsigned int i = 0; i < context->nb_streams; ++i) {
        AVStream* stream = context->streams[i];
        if (!stream) {
            log_line(logger::error())
                << "[ff_simple_media_muxer_impl::open] null stream (" << i << ")" << std::endl;
            KESTREL_THROW(errors::failure("[ff_simple_media_muxer_impl::open] null stream"));
        }
        const auto* encoder = static_cast<const AVCodecContext*>(externalCodecs_[i]);
        if (!encoder) {
            log_line(logger::error())
                << "[ff_simple_media_muxer_impl::open] null codec (" << i << ")" << std::endl;
            KESTREL_THROW(errors::failure("[ff_simple_media_muxer_impl::open] null codec"));
        }
        const int result = avcodec_parameters_from_context(stream->codecpar, encoder);
        if (result < 0)
            KESTREL_THROW(media_muxer::error("failed")
                          << errinfo_api_function("avcodec_parameters_from_context")
                          << errinfo_errno(-result));
        // A hint only: writing the header may choose another time base.
        stream->time_base = encoder->time_base;
        if (encoder->codec_type == AVMEDIA_TYPE_VIDEO) {
            stream->sample_aspect_ratio = encoder->sample_aspect_ratio;
            if (encoder->framerate.num > 0 && encoder->framerate.den > 0)
                stream->avg_frame_rate = encoder->framerate;
        }
    }
}

void ff_simple_media_muxer_impl::create_file() {
    AVFormatContext* context = formatContext_.get();
    if (context->oformat->flags & AVFMT_NOFILE)
        return;
    const int result = dt_avio_open(&context->pb, path_, AVIO_FLAG_WRITE);
    if (result < 0) {
        log_line(logger::error()) << "[ff_simple_media_muxer_impl::open] avio_open failed ("
                                  << result << ")" << std::endl;
        KESTREL_THROW(media_muxer::error_create_file()
                      << errinfo_api_function("avio_open") << errinfo_errno(-result));
    }
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
}

void ff_simple_media_muxer_impl::write_packet(media_packet_ptr packet) {
    if (packet)
        write_packet(packet, packet->stream_index());
}

void ff_simple_media_muxer_impl::write_packet(media_packet_ptr packet, int stream_index) {
    if (!headerWritten_ || !formatContext_)
        KESTREL_THROW(errors::invalid_operation());
    // A packet without bytes has nothing to write, and some muxers (MPEG
    // program streams) would never finish the file with one queued.
    if (!packet || packet->size() <= 0 || !packet->data())
        return;
    AVFormatContext* context = formatContext_.get();
    if (stream_index < 0 || static_cast<unsigned int>(stream_index) >= context->nb_streams)
        KESTREL_THROW(errors::invalid_argument());
    // Stamps in no unit cannot be placed in the file.
    const AVRational from = to_av(packet->time_base());
    if (from.num <= 0 || from.den <= 0)
        KESTREL_THROW(errors::invalid_argument());
    // The stream's time base as the header fixed it (1/25 may become 1/12800).
    const AVRational to = context->streams[stream_index]->time_base;
    const int64_t pts = ff_rescale_stamp(packet->pts(), from, to);
    const int64_t dts = ff_rescale_stamp(packet->dts(), from, to);
    stamps_.admit(stream_index, pts, dts, to);

    AVPacketPtr copy = dt_alloc_packet();
    const int size = packet->size();
    const int result = av_new_packet(copy.get(), size);
    if (result < 0)
        KESTREL_THROW(media_muxer::error("failed")
                      << errinfo_api_function("av_new_packet") << errinfo_errno(-result));
    std::memcpy(copy->data, packet->data(), static_cast<size_t>(size));
    copy->pts = pts;
    copy->dts = dts;
    if (packet->duration() > 0)
        copy->duration = ff_rescale_stamp(packet->duration(), from, to);
    copy->flags = packet->flags();
    copy->stream_index = stream_index;
    do_interleaved_write_packet(copy.get(), context);
}

void ff_simple_media_muxer_impl::close() {
    if (!formatContext_) {
        headerWritten_ = false;
        return;
    }
    // Whatever fails below, the trailer is tried once and the file closed.
    AVFormatContextPtr context;
    context.swap(formatContext_);
    int trailer = 0;
    if (headerWritten_)
        trailer = av_write_trailer(context.get());
    headerWritten_ = false;
    int closed = 0;
    if (!(context->oformat->flags & AVFMT_NOFILE))
        closed = dt_avio_close(&context->pb);
    context.reset();
    if (trailer < 0)
        KESTREL_THROW(media_muxer::error_write_trailer()
                      << errinfo_api_function("av_write_trailer") << errinfo_errno(-trailer));
    if (closed < 0)
        KESTREL_THROW(media_muxer::error_write_trailer()
                      << errinfo_api_function("avio_close") << errinfo_errno(-closed));
}

} // namespace kestrel
