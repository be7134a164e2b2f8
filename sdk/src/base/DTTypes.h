#pragma once
// Small value types shared across the library.

#include <boost/shared_ptr.hpp>

#include <cstdint>

namespace kestrel {

// Signed 64-bit time stamp or byte position; FFmpeg's "no value"
// (AV_NOPTS_VALUE) passes through unchanged.
typedef int64_t dt_ts_t;
// FFmpeg's AV_NOPTS_VALUE, for code that does not include FFmpeg.
const dt_ts_t dt_no_ts = INT64_MIN;

// A rational, numerator first; 0/1 stands for a value nobody set.
struct dt_rational_t {
    int32_t num = 0;
    int32_t den = 1;
    dt_rational_t() = default;
    dt_rational_t(int32_t n, int32_t d) : num(n), den(d) {}
    bool operator==(const dt_rational_t& o) const { return num == o.num && den == o.den; }
    bool operator!=(const dt_rational_t& o) const { return !(*this == o); }
};

// How an object takes bytes handed to it; any other value does nothing.
typedef int dt_own_buffer_t;
enum {
    dt_buffer_borrow = 0, // refers to the caller's bytes, never frees them
    dt_buffer_adopt = 1,  // takes the buffer over and frees it
    dt_buffer_copy = 2    // allocates its own buffer and copies
};

// Pixel format in FFmpeg's numbering: values go to FFmpeg unchanged. The
// names below let code without FFmpeg's headers say which format it means;
// the library checks them against FFmpeg's own when it is built.
typedef int dt_pixel_format_t;
// Planar YUV 4:2:0, what the video encoders take (AV_PIX_FMT_YUV420P).
const dt_pixel_format_t dt_pixel_format_yuv420p = 0;
// Packed 8-bit RGB, three bytes a pixel in the order red, green, blue, one
// plane: the slideshow's frames and previews (AV_PIX_FMT_RGB24).
const dt_pixel_format_t dt_pixel_format_rgb24 = 2;

// Media types in FFmpeg's numbering.
enum { dt_media_type_unknown = -1, dt_media_type_video = 0, dt_media_type_audio = 1 };

// One timed block of pictures or sound; times in milliseconds. A read that
// returns an empty pointer has reached the end of its stream.
template <class T>
struct media_data_timed {
    boost::shared_ptr<T> data;
    double duration;
    double start;

    media_data_timed(const boost::shared_ptr<T>& d, double dur, double st)
        : data(d), duration(dur), start(st) {}
};

class video_data;
class audio_data;
typedef media_data_timed<video_data> video_data_timed;
typedef media_data_timed<audio_data> audio_data_timed;
typedef boost::shared_ptr<video_data_timed> video_data_timed_ptr;
typedef boost::shared_ptr<audio_data_timed> audio_data_timed_ptr;

} // namespace kestrel
