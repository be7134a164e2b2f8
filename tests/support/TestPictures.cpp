#include "support/TestPictures.h"

#include "ffmpeg/DTFFPicture.h"

#include <boost/make_shared.hpp>

namespace kestrel {
namespace test {

namespace {
uint8_t wave(int x, int y, int frame_number, int factor) {
    return static_cast<uint8_t>((x * factor + y * 2 + frame_number * 7) & 0xff);
}
} // namespace

video_data_ptr make_rgb_picture(int width, int height, int frame_number) {
    AVFramePtr frame = dt_create_picture(AV_PIX_FMT_RGB24, width, height);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = frame->data[0] + y * frame->linesize[0];
        for (int x = 0; x < width; ++x) {
            row[3 * x] = wave(x, y, frame_number, 3);
            row[3 * x + 1] = wave(y, x, frame_number, 1);
            row[3 * x + 2] = static_cast<uint8_t>(frame_number * 11);
        }
    }
    return boost::make_shared<ff_video_data>(frame, width, height, AV_PIX_FMT_RGB24);
}

video_data_ptr make_solid_rgb_picture(int width, int height, uint8_t red, uint8_t green,
                                      uint8_t blue) {
    AVFramePtr frame = dt_create_picture(AV_PIX_FMT_RGB24, width, height);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = frame->data[0] + y * frame->linesize[0];
        for (int x = 0; x < width; ++x) {
            row[3 * x] = red;
            row[3 * x + 1] = green;
            row[3 * x + 2] = blue;
        }
    }
    return boost::make_shared<ff_video_data>(frame, width, height, AV_PIX_FMT_RGB24);
}

video_data_ptr make_yuv_picture(int width, int height, int frame_number) {
    AVFramePtr frame = dt_create_picture(AV_PIX_FMT_YUV420P, width, height);
    for (int plane = 0; plane < 3; ++plane) {
        const int plane_width = plane ? (width + 1) / 2 : width;
        const int plane_height = plane ? (height + 1) / 2 : height;
        for (int y = 0; y < plane_height; ++y) {
            uint8_t* row = frame->data[plane] + y * frame->linesize[plane];
            for (int x = 0; x < plane_width; ++x)
                row[x] = plane ? static_cast<uint8_t>(128 + plane * 20 + frame_number)
                               : wave(x, y, frame_number, 2);
        }
    }
    return boost::make_shared<ff_video_data>(frame, width, height, AV_PIX_FMT_YUV420P);
}

} // namespace test
} // namespace kestrel
