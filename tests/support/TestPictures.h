#pragma once
// Synthetic pictures for encoder and converter tests: a gradient that moves
// with the frame number, so that encoders see motion and frames differ.

#include "media/DTVideoData.h"

namespace kestrel {
namespace test {

// Packed RGB24 (pixel format 2).
video_data_ptr make_rgb_picture(int width, int height, int frame_number);
// Packed RGB24 of one colour.
video_data_ptr make_solid_rgb_picture(int width, int height, uint8_t red, uint8_t green,
                                      uint8_t blue);
// Planar YUV 4:2:0 (pixel format 0).
video_data_ptr make_yuv_picture(int width, int height, int frame_number);

} // namespace test
} // namespace kestrel
