// Encode throughput of the library's video road for 1280x720 libx264 at the
// "mac-medium" options, beside libavcodec driven directly on the same
// pictures, so that what our layer costs is a measured ratio.
//
//   kestrel_encode_bench [frames] [rounds]      (defaults 100 and 3)
//
// Three kinds of run over the same synthetic pictures, taken in turn for
// every round; the fastest run of each kind counts:
//   ffmpeg alone     libavcodec's send/receive on prepared YUV frames
//   encoder queue    the "kestrel/ffmpeg" encoder queue on the same YUV frames
//   whole road       RGB pictures converted, encoded and muxed into an mp4 file

#include "encoders/DTMediaMuxer.h"
#include "encoders/DTVideoEncoderQueue.h"
#include "ffmpeg/DTFFHandles.h"
#include "ffmpeg/DTFFPicture.h"
#include "media/DTMediaSettings.h"
#include "media/DTPictureConvert.h"
#include "slideshow2/DTSlideshowPresets.h"

#include "EncoderAlone.h"
#include "NumberArguments.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <boost/make_shared.hpp>
#include <boost/thread/thread.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <locale>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kestrel;

namespace {

const int width = 1280;
const int height = 720;
const double frame_rate = 25.0;
const double frame_ms = 1000.0 / frame_rate;
// Distinct pictures, repeated as often as the run needs.
const int distinct_pictures = 25;

// What the "mac-medium" output preset writes for the video encoder, at
// this benchmark's size.
media_settings_ptr mac_medium_settings() {
    media_settings_ptr settings = slideshow2::apply_preset("mac-medium", media_settings::create());
    settings->set("video-frame-rate", frame_rate);
    settings->set("video-codec", "libx264");
    settings->set("width", width);
    settings->set("height", height);
    return settings;
}

// A moving pattern with texture, so that motion search has work to do.
video_data_ptr make_rgb_picture(int number) {
    AVFramePtr frame = dt_create_picture(AV_PIX_FMT_RGB24, width, height);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = frame->data[0] + y * frame->linesize[0];
        for (int x = 0; x < width; ++x) {
            const int u = x + number * 6;
            const int v = y + number * 3;
            row[3 * x] = static_cast<uint8_t>((u * v) >> 6);
            row[3 * x + 1] = static_cast<uint8_t>(u ^ v);
            row[3 * x + 2] = static_cast<uint8_t>((u + 2 * v) & 0xff);
        }
    }
    return boost::make_shared<ff_video_data>(frame, width, height, AV_PIX_FMT_RGB24);
}

struct pictures {
    std::vector<video_data_ptr> rgb;
    std::vector<video_data_ptr> yuv;
};

pictures make_pictures() {
    pictures made;
    picture_convert_ptr convert = picture_convert_creator::create(
        width, height, AV_PIX_FMT_RGB24, width, height, AV_PIX_FMT_YUV420P, SWS_BILINEAR);
    for (int i = 0; i < distinct_pictures; ++i) {
        made.rgb.push_back(make_rgb_picture(i));
        made.yuv.push_back(convert->convert(made.rgb.back())->copy());
    }
    return made;
}

class stopwatch {
public:
    stopwatch() : started_(std::chrono::steady_clock::now()) {}
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    }

private:
    std::chrono::steady_clock::time_point started_;
};

void check(int result, const char* call) {
    if (result < 0 && result != AVERROR(EAGAIN) && result != AVERROR_EOF)
        throw std::runtime_error(std::string(call) + " failed");
}

// libavcodec on its own: the preset's options set straight on the context,
// and reference-counted frames prepared before the clock starts.
double ffmpeg_alone(const pictures& source, int frames, size_t& bytes) {
    const AVCodecContextPtr encoder = bench::open_encoder("mac-medium", width, height);
    std::vector<AVFramePtr> prepared;
    for (const video_data_ptr& picture : source.yuv) {
        AVFramePtr frame(av_frame_alloc(), details::_AVFrameDestroy());
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = width;
        frame->height = height;
        check(av_frame_get_buffer(frame.get(), 0), "av_frame_get_buffer");
        const uint8_t* planes[4] = {picture->plane_data(0), picture->plane_data(1),
                                    picture->plane_data(2), nullptr};
        const int strides[4] = {picture->line_size(0), picture->line_size(1), picture->line_size(2),
                                0};
        av_image_copy(frame->data, frame->linesize, planes, strides, AV_PIX_FMT_YUV420P, width,
                      height);
        prepared.push_back(frame);
    }
    const stopwatch clock;
    bytes += bench::encode_frames(encoder.get(), prepared, frames);
    return clock.seconds();
}

void drain_into(const video_encoder_queue_ptr& encoder, const media_muxer_ptr& muxer,
                size_t& bytes) {
    while (media_packet_ptr packet = encoder->get_packet()) {
        bytes += static_cast<size_t>(packet->size());
        if (muxer)
            muxer->write_packet(packet, 0);
    }
}

// The encoder queue alone on the prepared YUV pictures.
double encoder_queue(const pictures& source, int frames, size_t& bytes) {
    video_encoder_queue_ptr encoder =
        video_encoder_queue_creator::create("kestrel/ffmpeg", mac_medium_settings());
    encoder->open();
    const stopwatch clock;
    for (int i = 0; i < frames; ++i) {
        encoder->send_timed(boost::make_shared<video_data_timed>(source.yuv[i % source.yuv.size()],
                                                                 frame_ms, i * frame_ms));
        drain_into(encoder, media_muxer_ptr(), bytes);
    }
    encoder->send_timed(video_data_timed_ptr());
    drain_into(encoder, media_muxer_ptr(), bytes);
    return clock.seconds();
}

// What the producer does per frame: convert, encode, write into the file.
double whole_road(const pictures& source, int frames, const std::string& path, size_t& bytes) {
    video_encoder_queue_ptr encoder =
        video_encoder_queue_creator::create("kestrel/ffmpeg", mac_medium_settings());
    media_muxer_ptr muxer = media_muxer_creator::create(
        "ffmpeg/mp4", path, std::vector<void*>(1, encoder->codec_context()));
    picture_convert_ptr convert = picture_convert_creator::create(
        width, height, AV_PIX_FMT_RGB24, width, height, AV_PIX_FMT_YUV420P, SWS_BILINEAR);
    encoder->open();
    muxer->open();
    const stopwatch clock;
    for (int i = 0; i < frames; ++i) {
        const video_data_ptr picture = convert->convert(source.rgb[i % source.rgb.size()]);
        encoder->send_timed(boost::make_shared<video_data_timed>(picture, frame_ms, i * frame_ms));
        drain_into(encoder, muxer, bytes);
    }
    encoder->send_timed(video_data_timed_ptr());
    drain_into(encoder, muxer, bytes);
    muxer->close();
    return clock.seconds();
}

struct figures {
    double seconds = 0.0;
    size_t bytes = 0;

    // Keeps the fastest of the runs.
    void add(double run_seconds, size_t run_bytes) {
        if (seconds == 0.0 || run_seconds < seconds)
            seconds = run_seconds;
        bytes = run_bytes;
    }
};

void report(const char* name, int frames, const figures& run, const figures* baseline) {
    std::cout << "  " << name << std::setw(8) << frames / run.seconds << " fps  " << std::setw(7)
              << run.seconds << " s  " << std::setw(9) << run.bytes << " bytes";
    if (baseline)
        std::cout << "  " << std::setw(5) << run.seconds / baseline->seconds
                  << " x the time of ffmpeg alone";
    std::cout << std::endl;
}

} // namespace

int main(int argc, char** argv) {
    const command_line::arguments line(
        argc, argv,
        {"kestrel_encode_bench", "[frames] [rounds]",
         "Encodes 1280x720 pictures with libx264 at the mac-medium options three ways (FFmpeg's encoder\n"
         "alone, the library's encoder queue, the whole road into an MP4 file) and prints each one's frames\n"
         "per second and its time beside FFmpeg's; the fastest of the rounds counts.\n"
         "  frames  pictures encoded per run, 1 to 100000 (default 100)\n"
         "  rounds  runs of each kind, 1 to 100 (default 3)\n",
         0, 2});
    if (line.ended())
        return line.exit_status();
    const std::optional<int> frames_given = bench::whole_number(line, 0, "frames", 100, 1, 100000);
    const std::optional<int> rounds_given = bench::whole_number(line, 1, "rounds", 3, 1, 100);
    if (!frames_given || !rounds_given)
        return command_line::exit_usage;
    const int frames = *frames_given, rounds = *rounds_given;
    const pictures source = make_pictures();
    const std::string path =
        (std::filesystem::temp_directory_path() / "kestrel-encode-bench.mp4").string();

    figures alone, queue, road;
    for (int round = 0; round < rounds; ++round) {
        size_t bytes = 0;
        const double alone_seconds = ffmpeg_alone(source, frames, bytes);
        alone.add(alone_seconds, bytes);
        bytes = 0;
        const double queue_seconds = encoder_queue(source, frames, bytes);
        queue.add(queue_seconds, bytes);
        bytes = 0;
        const double road_seconds = whole_road(source, frames, path, bytes);
        road.add(road_seconds, bytes);
    }
    std::filesystem::remove(path);

    std::cout.imbue(std::locale::classic());
    std::cout << std::fixed << std::setprecision(2);
    std::cout << "libx264 " << width << "x" << height << " at the mac-medium options, " << frames
              << " frames, " << boost::thread::hardware_concurrency() << " threads, fastest of "
              << rounds << " rounds:" << std::endl;
    report("ffmpeg alone  ", frames, alone, nullptr);
    report("encoder queue ", frames, queue, &alone);
    report("whole road    ", frames, road, &alone);
    return 0;
}
