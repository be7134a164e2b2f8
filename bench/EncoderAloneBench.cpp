// libx264 alone, set up exactly as the producer's output presets set it up,
// encoding pictures prepared beforehand (already YUV 4:2:0): the time and
// memory that a whole production is measured against. For "mac-medium" and
// "tube-high" (the YouTube high profile) it prints the time per frame and
// the process's peak memory while that preset encoded.
//
//   kestrel_encoder_alone_bench [frames] [aspect]
//
// frames defaults to 3000 (20 slides of 6 s at 25 frames per second),
// aspect to 4/3 (the application's default frame aspect).

#include "DTMediaSettings.h"
#include "DTNumberText.h"
#include "ffmpeg/DTFFCodecOptions.h"
#include "ffmpeg/DTFFHandles.h"
#include "slideshow2/DTSlideshowPresets.h"

#include "ProcessMemory.h"

#include <chrono>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kestrel;

namespace {

// Distinct pictures, repeated as often as the run needs.
const int distinct_pictures = 25;

int even(int value) { return value % 2 ? value - 1 : value; }

// "W/H" or a plain number.
double parse_aspect(const std::string& text) {
    const std::string::size_type slash = text.find('/');
    if (slash == std::string::npos)
        return text::from_text<double>(text);
    return text::from_text<double>(text.substr(0, slash)) /
           text::from_text<double>(text.substr(slash + 1));
}

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

using bench::peak_memory_mb;
using bench::reset_peak_memory;

struct figures {
    int width = 0;
    int height = 0;
    double seconds = 0.0;
    size_t bytes = 0;
    double peak_mb = 0.0;
};

figures encode_alone(const std::string& preset, int frames, double aspect) {
    const media_settings_ptr settings =
        slideshow2::apply_preset(preset, media_settings::create());
    figures run;
    run.height = even(settings->get<int>("frame-height"));
    run.width = even(static_cast<int>(run.height * aspect + 0.5));

    const std::string codec_name = settings->get("video-codec");
    const AVCodec* codec = avcodec_find_encoder_by_name(codec_name.c_str());
    if (!codec)
        throw std::runtime_error("no encoder " + codec_name);
    AVCodecContextPtr context(avcodec_alloc_context3(codec), details::_AVCodecContextDestroy());
    AVCodecContext* c = context.get();
    c->width = run.width;
    c->height = run.height;
    c->time_base = AVRational{1, 25};
    c->framerate = AVRational{25, 1};
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    apply_ffmpeg_video_options(c, settings);
    check(avcodec_open2(c, codec, nullptr), "avcodec_open2");

    std::vector<AVFramePtr> prepared;
    for (int i = 0; i < distinct_pictures; ++i)
        prepared.push_back(make_picture(run.width, run.height, i));

    AVPacketPtr packet = dt_alloc_packet();
    auto drain = [&] {
        int result;
        while ((result = avcodec_receive_packet(c, packet.get())) >= 0) {
            run.bytes += static_cast<size_t>(packet->size);
            av_packet_unref(packet.get());
        }
        check(result, "avcodec_receive_packet");
    };
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        AVFrame* frame = prepared[static_cast<size_t>(i) % prepared.size()].get();
        frame->pts = i;
        check(avcodec_send_frame(c, frame), "avcodec_send_frame");
        drain();
    }
    check(avcodec_send_frame(c, nullptr), "avcodec_send_frame");
    drain();
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peak_mb = peak_memory_mb();
    return run;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const int frames = argc > 1 ? text::from_text<int>(argv[1]) : 3000;
        const double aspect = parse_aspect(argc > 2 ? argv[2] : "4/3");
        if (frames <= 0 || !(aspect > 0.1 && aspect < 10.0)) {
            std::cerr << "usage: kestrel_encoder_alone_bench [frames] [aspect]" << std::endl;
            return 2;
        }
        std::vector<std::pair<std::string, figures>> runs;
        bool peak_reset = true;
        for (const char* preset : {"mac-medium", "tube-high"}) {
            peak_reset = reset_peak_memory() && peak_reset;
            runs.emplace_back(preset, encode_alone(preset, frames, aspect));
        }

        std::cout.imbue(std::locale::classic());
        std::cout << std::fixed << std::setprecision(2);
        std::cout << "libx264 alone on " << frames << " prepared frames, preset options:"
                  << std::endl;
        for (const auto& run : runs) {
            const figures& f = run.second;
            std::cout << "  " << std::left << std::setw(11) << run.first << std::right
                      << std::setw(5) << f.width << "x" << f.height << std::setw(9)
                      << f.seconds * 1000.0 / frames << " ms/frame" << std::setw(9)
                      << frames / f.seconds << " fps" << std::setw(9) << f.seconds << " s"
                      << std::setw(11) << f.bytes << " bytes  peak " << f.peak_mb << " MB"
                      << std::endl;
        }
        if (!peak_reset)
            std::cout << "  (the peak could not be reset between presets: it is the "
                         "process's since start)"
                      << std::endl;
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "kestrel_encoder_alone_bench: " << e.what() << std::endl;
        return 1;
    }
}
