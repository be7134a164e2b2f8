#include "support/VideoPipeline.h"

#include "support/TestPictures.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <boost/make_shared.hpp>

#include <stdexcept>

namespace kestrel {
namespace test {

namespace {
const double frame_rate = 25.0;
const double frame_ms = 1000.0 / frame_rate;
} // namespace

media_settings_ptr video_settings(const std::string& codec, int width, int height) {
    media_settings_ptr settings = media_settings::create("video-codec", codec);
    settings->set("width", width);
    settings->set("height", height);
    settings->set("video-frame-rate", frame_rate);
    return settings;
}

video_pipeline::video_pipeline(const std::string& format, const std::string& path,
                               media_settings_ptr settings, const std::vector<void*>& more_codecs)
    : settings_(settings) {
    encoder_ = video_encoder_queue_creator::create("kestrel/ffmpeg", settings);
    if (!encoder_)
        throw std::runtime_error("no ffmpeg video encoder registered");
    std::vector<void*> codecs(1, encoder_->codec_context());
    codecs.insert(codecs.end(), more_codecs.begin(), more_codecs.end());
    muxer_ = media_muxer_creator::create(format, path, codecs);
    const int width = settings->get<int>("width");
    const int height = settings->get<int>("height");
    convert_ = picture_convert_creator::create(width, height, AV_PIX_FMT_RGB24, width, height,
                                               AV_PIX_FMT_YUV420P, SWS_BILINEAR);
}

void video_pipeline::open() {
    encoder_->open();
    muxer_->open();
}

void video_pipeline::encode(int count) {
    const int width = settings_->get<int>("width");
    const int height = settings_->get<int>("height");
    for (int i = 0; i < count; ++i, ++frames_sent_) {
        const video_data_ptr picture =
            convert_->convert(make_rgb_picture(width, height, frames_sent_));
        encoder_->send_timed(
            boost::make_shared<video_data_timed>(picture, frame_ms, frames_sent_ * frame_ms));
        write_ready_packets();
    }
}

void video_pipeline::finish() {
    encoder_->send_timed(video_data_timed_ptr());
    write_ready_packets();
    muxer_->close();
}

void video_pipeline::write_ready_packets() {
    while (media_packet_ptr packet = encoder_->get_packet())
        muxer_->write_packet(packet, 0);
}

void encode_video_file(const std::string& format, const std::string& path,
                       media_settings_ptr settings, int frames) {
    video_pipeline pipeline(format, path, settings);
    pipeline.open();
    pipeline.encode(frames);
    pipeline.finish();
}

} // namespace test
} // namespace kestrel
