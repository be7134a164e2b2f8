#include "DTFFVideoEncoder.h"

#include "DTFFCodecOptions.h"
#include "DTFFGlobal.h"
#include "base/DTLog.h"

extern "C" {
#include <libavutil/mathematics.h>
}

#include <algorithm>
#include <chrono>

namespace kestrel {
namespace ffmpeg {

namespace {

const ffmpeg_global_init_request ffmpeg_init;

unsigned int registrations = 0;
const encoder_registration<video_encoder_factory> registration(registrations, "ffmpeg",
                                                               create_ffmpeg_video_encoder);

// Frame rates become fractions with both terms at most this.
const int max_rate_term = 255;

// Adds the wall-clock time of one encoding call to the statistics, also
// when the call fails.
class encode_call_timer {
public:
    encode_call_timer(double& total_seconds, unsigned int& calls)
        : total_seconds_(total_seconds), calls_(calls), started_(std::chrono::steady_clock::now()) {
    }
    ~encode_call_timer() {
        total_seconds_ +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
        ++calls_;
    }

private:
    double& total_seconds_;
    unsigned int& calls_;
    const std::chrono::steady_clock::time_point started_;
};

typedef ff_encoder_core<video_encoder_queue::error> core;

} // namespace

video_encoder_queue::Impl* create_ffmpeg_video_encoder(media_settings_ptr settings) {
    return new ffmpeg_video_encoder(settings);
}

ffmpeg_video_encoder::ffmpeg_video_encoder(media_settings_ptr settings)
    : core_(avcodec_find_encoder_by_name(core::checked(settings).get("video-codec").c_str()),
            dt_media_type_video),
      last_pts_(AV_NOPTS_VALUE) {
    AVCodecContext* c = core_.context();
    c->codec_type = AVMEDIA_TYPE_VIDEO;
    c->width = settings->get<int>("width");
    c->height = settings->get<int>("height");
    c->qmin = settings->get<int>("qmin", c->qmin);
    c->qmax = settings->get<int>("qmax", c->qmax);
    // The codec context has no motion estimation field any more; the codecs
    // that still choose a method take it as an option of that name.
    if (settings->contains("me_method") &&
        !apply_ffmpeg_video_option(c, "me_method", "int", settings->get("me_method")))
        warn_refused_ffmpeg_option("me_method", settings->get("me_method"));
    c->max_qdiff = settings->get<int>("max_qdiff", c->max_qdiff);
    picture_quality_ = settings->get<int>("picture_quality", 0);

    const AVRational rate =
        av_d2q(text::from_text<double>(settings->get("video-frame-rate")), max_rate_term);
    c->time_base = av_inv_q(rate);
    c->framerate = rate;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    apply_ffmpeg_video_options(c, settings);
    // After the option keys: "bitrate" wins over an option that sets it.
    c->bit_rate = settings->get<int>("bitrate", 0);
}

ffmpeg_video_encoder::~ffmpeg_video_encoder() {
    log_line(logger::info()) << "[ffmpeg video encoder] : close" << std::endl;
    log_line(logger::info()) << "[ffmpeg video encoder] : total time: " << total_time_ << std::endl;
    log_line(logger::info()) << "[ffmpeg video encoder] : total fps: "
                             << (total_time_ > 0 ? encode_calls_ / total_time_ : 0.0) << std::endl;
}

void ffmpeg_video_encoder::open() { core_.open(); }

void ffmpeg_video_encoder::send(const video_data* picture) {
    send_video_impl(picture, AV_NOPTS_VALUE);
}

void ffmpeg_video_encoder::send_timed(const video_data_timed* frame) {
    if (!frame) {
        send_video_impl(nullptr, AV_NOPTS_VALUE);
        return;
    }
    const video_data_ptr picture = frame->data; // alive for the whole call
    send_video_impl(picture.get(), static_cast<dt_ts_t>(frame->start));
}

media_packet_ptr ffmpeg_video_encoder::get_packet() { return core_.next_packet(); }

void ffmpeg_video_encoder::send_video_impl(const video_data* picture, dt_ts_t time) {
    if (!picture) {
        send_frame(nullptr);
        return;
    }
    const AVCodecContext* c = core_.context();
    if (picture->pixel_format() != c->pix_fmt || picture->width() != c->width ||
        picture->height() != c->height)
        core::fail("invalid video format");

    AVFrame* frame = core_.frame();
    const int planes = std::min(picture->planes_count(), AV_NUM_DATA_POINTERS);
    for (int i = 0; i < planes; ++i) {
        frame->data[i] = picture->plane_data(i);
        frame->linesize[i] = picture->line_size(i);
    }
    frame->format = c->pix_fmt;
    frame->width = c->width;
    frame->height = c->height;
    frame->pts = picture_pts(time);
    frame->quality = picture_quality_ > 0 ? picture_quality_ : 0;
    last_pts_ = frame->pts;
    send_frame(frame); // empties the frame; the picture's planes stay the caller's
}

// Milliseconds to ticks of the time base, truncated. A stamp that would not
// follow the previous picture's (frame durations that are not whole
// milliseconds) is moved one tick behind it: encoders and containers refuse
// repeated time stamps.
int64_t ffmpeg_video_encoder::picture_pts(dt_ts_t time) const {
    if (time == AV_NOPTS_VALUE)
        return last_pts_ == AV_NOPTS_VALUE ? 0 : last_pts_ + 1;
    const AVRational tb = core_.context()->time_base;
    const int64_t pts = static_cast<int64_t>(time / (1000.0 * tb.num / tb.den));
    if (last_pts_ != AV_NOPTS_VALUE && pts <= last_pts_)
        return last_pts_ + 1;
    return pts;
}

// libavcodec copies the frame's planes before it returns: the converter
// reuses its one destination picture for the next frame while encoder
// threads may still hold this one. Some encoders (libx264) leave packet
// durations 0, which makes the mp4 muxer drop the last frame from the edit
// list: they get one frame's length.
void ffmpeg_video_encoder::send_frame(AVFrame* frame) {
    encode_call_timer timer(total_time_, encode_calls_);
    core_.send_frame(frame, "encode video", frame_duration());
}

int64_t ffmpeg_video_encoder::frame_duration() const {
    const AVCodecContext* c = core_.context();
    if (c->framerate.num <= 0 || c->framerate.den <= 0)
        return 1;
    return std::max<int64_t>(1, av_rescale_q(1, av_inv_q(c->framerate), c->time_base));
}

} // namespace ffmpeg
} // namespace kestrel
