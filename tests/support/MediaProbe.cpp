#include "support/MediaProbe.h"

#include "ffmpeg/DTFFHandles.h"
#include "ffmpeg/DTFFMediaSplitter.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>

namespace kestrel {
namespace test {

namespace {

AVCodecContextPtr open_decoder(const AVCodecParameters* parameters) {
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    if (!codec)
        return AVCodecContextPtr();
    AVCodecContextPtr context(avcodec_alloc_context3(codec), details::_AVCodecContextDestroy());
    if (!context || avcodec_parameters_to_context(context.get(), parameters) < 0 ||
        avcodec_open2(context.get(), codec, nullptr) < 0)
        throw std::runtime_error("probe: cannot open the decoder");
    return context;
}

bool is_8bit_planar_yuv(int format) {
    return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P ||
           format == AV_PIX_FMT_YUV422P || format == AV_PIX_FMT_YUV444P;
}

// Every second pixel of every second row is enough to tell colours apart.
double mean_luma(const AVFrame* frame) {
    double sum = 0.0;
    long long count = 0;
    for (int y = 0; y < frame->height; y += 2) {
        const uint8_t* row = frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0];
        for (int x = 0; x < frame->width; x += 2, ++count)
            sum += row[x];
    }
    return count ? sum / static_cast<double>(count) : 0.0;
}

double sample_magnitude(const AVFrame* frame, int plane, int index) {
    switch (frame->format) {
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_FLTP:
        return std::fabs(reinterpret_cast<const float*>(frame->extended_data[plane])[index]);
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
        return std::fabs(reinterpret_cast<const int16_t*>(frame->extended_data[plane])[index] /
                         32768.0);
    default:
        return -1.0;
    }
}

double block_peak(const AVFrame* frame) {
    const int channels = frame->ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame->format));
    const int planes = planar ? channels : 1;
    const int per_plane = frame->nb_samples * (planar ? 1 : channels);
    double peak = 0.0;
    for (int plane = 0; plane < planes; ++plane)
        for (int i = 0; i < per_plane; ++i)
            peak = std::max(peak, sample_magnitude(frame, plane, i));
    return peak;
}

// Sends one packet (null: the end) and counts and measures what comes out.
void decode(AVCodecContext* decoder, const AVPacket* packet, AVFrame* frame, stream_probe& s) {
    if (avcodec_send_packet(decoder, packet) < 0)
        return; // a damaged packet shows as a missing frame
    while (avcodec_receive_frame(decoder, frame) >= 0) {
        ++s.decoded_frames;
        s.decoded_samples += frame->nb_samples;
        if (s.media_type == AVMEDIA_TYPE_VIDEO && is_8bit_planar_yuv(frame->format))
            s.mean_luma.push_back(mean_luma(frame));
        if (s.media_type == AVMEDIA_TYPE_AUDIO)
            s.block_peaks.push_back(block_peak(frame));
        av_frame_unref(frame);
    }
}

} // namespace

std::vector<int64_t> stream_probe::presentation_times() const {
    std::vector<int64_t> sorted = pts;
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

const stream_probe* media_probe::first(int media_type) const {
    for (const stream_probe& stream : streams)
        if (stream.media_type == media_type)
            return &stream;
    return nullptr;
}

size_t media_probe::count(int media_type) const {
    return static_cast<size_t>(
        std::count_if(streams.begin(), streams.end(), [media_type](const stream_probe& stream) {
            return stream.media_type == media_type;
        }));
}

media_probe probe_media_file(const std::string& path) {
    AVFormatContextPtr input;
    try {
        input = details::dt_av_open_input_file(path.c_str(), nullptr, nullptr);
        details::dt_av_find_stream_info(input.get());
    } catch (const std::exception&) {
        throw std::runtime_error("probe: cannot open " + path);
    }

    media_probe probe;
    probe.format = input->iformat->name;
    std::vector<AVCodecContextPtr> decoders;
    for (unsigned int i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        const AVCodecParameters* parameters = stream->codecpar;
        stream_probe s;
        s.codec = avcodec_get_name(parameters->codec_id);
        s.media_type = parameters->codec_type;
        s.width = parameters->width;
        s.height = parameters->height;
        s.pixel_format = parameters->format;
        s.sample_rate = parameters->sample_rate;
        s.channels = parameters->ch_layout.nb_channels;
        s.time_base = stream->time_base;
        s.avg_frame_rate = stream->avg_frame_rate;
        s.r_frame_rate = stream->r_frame_rate;
        probe.streams.push_back(s);
        decoders.push_back(open_decoder(parameters));
    }

    AVFramePtr frame(av_frame_alloc(), details::_AVFrameDestroy());
    for (;;) {
        bool eof = false;
        AVPacketPtr packet;
        try {
            packet = details::dt_av_read_frame(input.get(), eof);
        } catch (const std::exception&) {
            throw std::runtime_error("probe: cannot read " + path);
        }
        if (!packet)
            break;
        stream_probe& s = probe.streams.at(static_cast<size_t>(packet->stream_index));
        s.pts.push_back(packet->pts);
        s.dts.push_back(packet->dts);
        s.durations.push_back(packet->duration);
        s.key_frames.push_back((packet->flags & AV_PKT_FLAG_KEY) != 0);
        if (AVCodecContext* decoder = decoders[packet->stream_index].get())
            decode(decoder, packet.get(), frame.get(), s);
    }
    for (size_t i = 0; i < decoders.size(); ++i)
        if (decoders[i])
            decode(decoders[i].get(), nullptr, frame.get(), probe.streams[i]);
    return probe;
}

} // namespace test
} // namespace kestrel
