#pragma once
// The video encoder registered as "ppm": every picture sent becomes one
// complete PPM image ("P<format>\n<width> <height>\n255\n" and the rows of
// 3-byte pixels, no padding) queued as one packet, so that the raw file
// writer ("kestrel/ppm") stores a stream of PPM images. Settings keys, read
// once at construction: "format" (6), "width", "height" and "line_size"
// (0: the picture's own). The picture's plane 0 is read as packed 3-byte
// pixels whatever its pixel format says; a picture too small for the size
// and row distance in use is refused with video_encoder_queue::error
// ("invalid video format"). One thread at a time.

#include "encoders/DTVideoEncoderQueue.h"
#include "media/DTMediaSettings.h"
#include "media/DTPacketQueue.h"

#include <cstdint>
#include <vector>

namespace kestrel {

class ppm_encoder_impl : public video_encoder_queue::Impl {
public:
    ppm_encoder_impl() = default;
    // An empty settings pointer keeps every default.
    explicit ppm_encoder_impl(media_settings_ptr settings);

    void open() override {}
    // Builds one image and queues it; a null picture has nothing to give.
    void send(const video_data* picture) override;
    // The oldest queued image, or an empty pointer.
    media_packet_ptr get_packet() override { return packets_.try_pop(); }

private:
    // Reused from picture to picture; grows, never shrinks.
    std::vector<uint8_t> image_;
    packet_queue packets_;
    int format_ = 6;
    int width_ = 0;
    int height_ = 0;
    int line_size_ = 0;
};

// The registry's creator for "ppm".
video_encoder_queue::Impl* create_ppm_encoder(media_settings_ptr settings);

} // namespace kestrel
