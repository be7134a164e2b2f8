#pragma once
// The video encoder registered as "ffmpeg": any libavcodec video encoder
// named by the settings key "video-codec", configured from the keys
// "width", "height", "video-frame-rate", "qmin", "qmax", "me_method",
// "max_qdiff", "picture_quality", "bitrate" and the codec option keys
// "ffmpeg/video/<option>[<type>]". Pictures must already be in the encoder's
// size and YUV 4:2:0; packets count in the time base 1 / frame rate.

#include "DTFFEncoderCore.h"
#include "encoders/DTVideoEncoderQueue.h"

namespace kestrel {
namespace ffmpeg {

class ffmpeg_video_encoder : public video_encoder_queue::Impl {
public:
    // Configures the codec context; open() opens it.
    explicit ffmpeg_video_encoder(media_settings_ptr settings);
    // Logs the encoding statistics; does not drain the codec.
    ~ffmpeg_video_encoder() override;

    void open() override;
    // An untimed picture follows the last one sent.
    void send(const video_data* picture) override;
    // The frame's start (ms) becomes its time stamp; a null frame drains.
    void send_timed(const video_data_timed* frame) override;
    media_packet_ptr get_packet() override;
    void* codec_context() override { return core_.context(); }

private:
    void send_video_impl(const video_data* picture, dt_ts_t time);
    void send_frame(AVFrame* frame);
    int64_t picture_pts(dt_ts_t time) const;
    int64_t frame_duration() const;

    ff_encoder_core<video_encoder_queue::error> core_;
    int picture_quality_ = 0;
    double total_time_ = 0.0; // seconds inside libavcodec
    unsigned int encode_calls_ = 0;
    int64_t last_pts_;
};

// The registry's creator for "ffmpeg".
video_encoder_queue::Impl* create_ffmpeg_video_encoder(media_settings_ptr settings);

} // namespace ffmpeg
} // namespace kestrel
