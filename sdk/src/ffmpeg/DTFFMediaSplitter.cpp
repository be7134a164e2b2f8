#include "DTFFMediaSplitter.h"

#include "DTFFGlobal.h"
#include "DTFFMediaPacket.h"
#include "DTFFStreamInfo.h"
#include "DTFFWideFile.h"

#include <boost/make_shared.hpp>

namespace kestrel {

namespace {
const ffmpeg_global_init_request ffmpeg_init;

[[noreturn]] void throw_failed(const char* function, int result) {
    KESTREL_THROW(media_splitter::error() << errinfo_api_function(function)
                                          << errinfo_errno(-result));
}
} // namespace

namespace details {

AVFormatContextPtr dt_av_open_input_file(const char* path, const AVInputFormat* format,
                                         AVDictionary** options) {
    AVIOContext* io = nullptr;
    int result = dt_avio_open(&io, path ? path : "", AVIO_FLAG_READ);
    if (result < 0)
        throw_failed("av_open_input_file", result);

    AVFormatContext* context = avformat_alloc_context();
    if (!context) {
        dt_avio_close(&io);
        KESTREL_THROW(errors::bad_alloc() << errinfo_api_function("avformat_alloc_context"));
    }
    context->pb = io;
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    result = avformat_open_input(&context, path, format, options);
    if (result < 0) { // FFmpeg has freed the format context, not our I/O context
        dt_avio_close(&io);
        throw_failed("av_open_input_file", result);
    }
    return AVFormatContextPtr(context, _AVFormatContextDestruct());
}

void dt_av_find_stream_info(AVFormatContext* context) {
    const int result = avformat_find_stream_info(context, nullptr);
    if (result < 0)
        throw_failed("av_find_stream_info", result);
}

void dt_av_seek_frame(AVFormatContext* context, int stream_index, dt_ts_t position, int flags) {
    if (!context)
        KESTREL_THROW(errors::invalid_operation());
    const int result = av_seek_frame(context, stream_index, position, flags);
    // A wait of the file given up (now or by a read before) reaches the
    // demuxer as the end: the file does not answer, it has not ended.
    if (result < 0 && dt_avio_given_up(context->pb))
        throw_failed("av_seek_frame", dt_avio_given_up(context->pb));
    if (result < 0)
        throw_failed("av_seek_frame", result);
    // Reading starts afresh: a read that failed or was given up before the
    // seek (a stopped production) must not pass for a failure at the end.
    if (context->pb)
        context->pb->error = 0;
    dt_avio_forget_given_up(context->pb);
}

AVPacketPtr dt_av_create_packet() { return dt_alloc_packet(); }

AVPacketPtr dt_av_read_frame(AVFormatContext* context, bool& eof) {
    if (!context)
        KESTREL_THROW(errors::invalid_operation());
    eof = false;
    AVPacketPtr packet = dt_av_create_packet();
    int result;
    do {
        result = av_read_frame(context, packet.get());
    } while (result == AVERROR(EAGAIN));
    // Demuxers report a failed read as the end of their input; the I/O
    // context keeps the real cause. A damaged disk must not pass for the
    // end of the file.
    if (result == AVERROR_EOF && context->pb && context->pb->error < 0 &&
        context->pb->error != AVERROR_EOF)
        result = context->pb->error;
    // So does a wait given up, also one the demuxer met while it moved.
    if (result == AVERROR_EOF && dt_avio_given_up(context->pb))
        result = dt_avio_given_up(context->pb);
    if (result == AVERROR_EOF) {
        eof = true;
        return AVPacketPtr();
    }
    if (result < 0)
        throw_failed("av_read_frame", result);
    // The payload must belong to the packet, which outlives the next read.
    result = av_packet_make_refcounted(packet.get());
    if (result < 0)
        KESTREL_THROW(errors::bad_alloc() << errinfo_api_function("av_packet_make_refcounted"));
    return packet;
}

} // namespace details

av_media_splitter_impl::av_media_splitter_impl(const char* path) {
    AVFormatContextPtr context = details::dt_av_open_input_file(path, nullptr, nullptr);
    details::dt_av_find_stream_info(context.get());
    describe(context);
    context_ = context;
    eof_ = false;
}

av_media_splitter_impl::av_media_splitter_impl(const AVFormatContextPtr& context) {
    describe(context);
    context_ = context;
    eof_ = false;
}

void av_media_splitter_impl::describe(const AVFormatContextPtr& context) {
    file_info_ = boost::make_shared<ff_file_info_general>(context);
    media_types_.clear();
    time_bases_.clear();
    frame_rates_.clear();
    if (!context)
        return;
    const unsigned int count = context->nb_streams;
    media_types_.assign(count, AVMEDIA_TYPE_VIDEO);
    time_bases_.assign(count, AVRational{0, 1});
    frame_rates_.assign(count, AVRational{0, 1});
    for (unsigned int i = 0; i < count; ++i) {
        const AVStream* stream = context->streams[i];
        if (!stream)
            continue;
        time_bases_[i] = stream->time_base;
        frame_rates_[i] = stream->r_frame_rate;
        if (stream->codecpar)
            media_types_[i] = stream->codecpar->codec_type;
    }
}

media_packet_ptr av_media_splitter_impl::read_packet() {
    bool eof = false;
    AVPacketPtr packet = details::dt_av_read_frame(context_.get(), eof);
    eof_ = eof;
    if (!packet)
        return media_packet_ptr();

    const unsigned int index = static_cast<unsigned int>(packet->stream_index);
    if (index < media_types_.size())
        return boost::make_shared<ff_media_packet>(packet, media_types_[index],
                                                   dt_rational(time_bases_[index]),
                                                   dt_rational(frame_rates_[index]));
    // A stream that appeared while reading: described as it is now.
    const AVStream* stream = index < context_->nb_streams ? context_->streams[index] : nullptr;
    if (!stream)
        return boost::make_shared<ff_media_packet>(packet);
    return boost::make_shared<ff_media_packet>(
        packet, stream->codecpar ? int(stream->codecpar->codec_type) : int(dt_media_type_unknown),
        dt_rational(stream->time_base), dt_rational(stream->r_frame_rate));
}

void av_media_splitter_impl::seek(dt_ts_t position) {
    details::dt_av_seek_frame(context_.get(), -1, position, AVSEEK_FLAG_BACKWARD);
}

stream_info_ptr av_media_splitter_impl::get_stream_info(unsigned int index) const {
    if (!context_)
        KESTREL_THROW(errors::invalid_operation());
    if (index >= context_->nb_streams)
        KESTREL_THROW(errors::invalid_argument());
    return boost::make_shared<ff_stream_info>(context_.get(), context_->streams[index]);
}

media_splitter_ptr create_media_splitter(const char* path) {
    return boost::make_shared<ff_media_splitter>(path);
}

} // namespace kestrel
