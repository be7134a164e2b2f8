#include "EncoderAlone.h"

#include "ffmpeg/DTFFCodecOptions.h"
#include "ffmpeg/DTFFHandles.h"
#include "media/DTMediaSettings.h"
#include "slideshow2/DTSlideshowPresets.h"

#include "ProcessMemory.h"

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

using namespace kestrel;

namespace bench {

namespace {

// Distinct pictures, repeated as often as the run needs.
const int distinct_pictures = 25;

int even(int value) { return value % 2 ? value - 1 : value; }

void check(int result, const char* call) {
    if (result < 0 && result != AVERROR(EAGAIN) && result != AVERROR_EOF)
        throw std::runtime_error(std::string(call) + " failed");
}

// Smooth gradients under a coarse checker that pans a little from picture
// to picture, closer to a moving photo than noise is.
AVFramePtr make_picture(int width, int height, int number) {
    AVFramePtr frame(av_frame_alloc(), details::_AVFrameDestroy());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    check(av_frame_get_buffer(frame.get(), 0), "av_frame_get_buffer");
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane ? 1 : 0;
        for (int y = 0; y < height >> shift; ++y) {
            uint8_t* row = frame->data[plane] + static_cast<std::ptrdiff_t>(y) * frame->linesize[plane];
            for (int x = 0; x < width >> shift; ++x) {
                const int u = (x << shift) + number * 3;
                const int v = (y << shift) + number;
                const int checker = ((u >> 5) + (v >> 5)) & 1 ? 40 : 0;
                row[x] = static_cast<uint8_t>(plane ? 96 + plane * 16 + (u >> 4) % 32
                                                    : 30 + (u + v) / 12 % 160 + checker);
            }
        }
    }
    return frame;
}

} // namespace

std::vector<AVFramePtr> synthetic_pictures(const std::string& preset, double aspect) {
    const media_settings_ptr settings = slideshow2::apply_preset(preset, media_settings::create());
    const int height = even(settings->get<int>("frame-height"));
    const int width = even(static_cast<int>(height * aspect + 0.5));
    std::vector<AVFramePtr> pictures;
    for (int i = 0; i < distinct_pictures; ++i)
        pictures.push_back(make_picture(width, height, i));
    return pictures;
}

AVFramePtr yuv_picture(const uint8_t* rgb, int line_size, int width, int height) {
    AVFramePtr frame(av_frame_alloc(), details::_AVFrameDestroy());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    check(av_frame_get_buffer(frame.get(), 0), "av_frame_get_buffer");
    // Bilinear, as the producer's converter scales.
    SwsContext* scaler = sws_getContext(width, height, AV_PIX_FMT_RGB24, width, height, AV_PIX_FMT_YUV420P,
                                        SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!scaler)
        throw std::runtime_error("sws_getContext failed");
    const uint8_t* source[1] = {rgb};
    const int source_line[1] = {line_size};
    const int rows = sws_scale(scaler, source, source_line, 0, height, frame->data, frame->linesize);
    sws_freeContext(scaler);
    check(rows == height ? 0 : -1, "sws_scale");
    return frame;
}

AVCodecContextPtr open_encoder(const std::string& preset, int width, int height) {
    const media_settings_ptr settings = slideshow2::apply_preset(preset, media_settings::create());
    const std::string codec_name = settings->get("video-codec");
    const AVCodec* codec = avcodec_find_encoder_by_name(codec_name.c_str());
    if (!codec)
        throw std::runtime_error("no encoder " + codec_name);
    AVCodecContextPtr context(avcodec_alloc_context3(codec), details::_AVCodecContextDestroy());
    AVCodecContext* c = context.get();
    c->width = width;
    c->height = height;
    c->time_base = AVRational{1, 25};
    c->framerate = AVRational{25, 1};
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    apply_ffmpeg_video_options(c, settings);
    check(avcodec_open2(c, codec, nullptr), "avcodec_open2");
    return context;
}

size_t encode_frames(AVCodecContext* encoder, const std::vector<AVFramePtr>& pictures, int frames) {
    if (pictures.empty())
        throw std::runtime_error("no pictures to encode");
    size_t bytes = 0;
    AVPacketPtr packet = dt_alloc_packet();
    auto drain = [&] {
        int result;
        while ((result = avcodec_receive_packet(encoder, packet.get())) >= 0) {
            bytes += static_cast<size_t>(packet->size);
            av_packet_unref(packet.get());
        }
        check(result, "avcodec_receive_packet");
    };
    for (int i = 0; i < frames; ++i) {
        AVFrame* frame = pictures[static_cast<size_t>(i) % pictures.size()].get();
        frame->pts = i;
        check(avcodec_send_frame(encoder, frame), "avcodec_send_frame");
        drain();
    }
    check(avcodec_send_frame(encoder, nullptr), "avcodec_send_frame");
    drain();
    return bytes;
}

encoder_figures encode_prepared(const std::string& preset, int frames, const std::vector<AVFramePtr>& pictures) {
    if (pictures.empty())
        throw std::runtime_error("no pictures to encode");
    encoder_figures run;
    run.width = pictures.front()->width;
    run.height = pictures.front()->height;
    const AVCodecContextPtr encoder = open_encoder(preset, run.width, run.height);
    const auto start = std::chrono::steady_clock::now();
    run.bytes = encode_frames(encoder.get(), pictures, frames);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peak_mb = peak_memory_mb();
    return run;
}

encoder_figures encode_alone(const std::string& preset, int frames, double aspect) {
    return encode_prepared(preset, frames, synthetic_pictures(preset, aspect));
}

} // namespace bench
