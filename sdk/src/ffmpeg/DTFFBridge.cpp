#include "ffmpeg/DTFFBridge.h"

#include "ffmpeg/DTFFMediaMuxer.h"
#include "ffmpeg/DTFFPicture.h"
#include "ffmpeg/DTFFPictureConvertImpl.h"
#include "ffmpeg/DTFFSwresample.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

#include <boost/make_shared.hpp>

namespace kestrel {

// The library names the pixel formats it makes without FFmpeg's headers;
// the numbers must stay FFmpeg's, which gets them unchanged.
static_assert(dt_pixel_format_yuv420p == AV_PIX_FMT_YUV420P, "YUV 4:2:0 is FFmpeg's number");
static_assert(dt_pixel_format_rgb24 == AV_PIX_FMT_RGB24, "RGB24 is FFmpeg's number");

audio_convert_ptr create_ff_audio_convert(const audio_format* source, const audio_format* target) {
    return boost::make_shared<ff_swresample>(source, target);
}

media_muxer_ptr create_ff_media_muxer(const std::string& container, const std::string& path,
                                      std::vector<void*> codecs) {
    return boost::make_shared<ff_simple_media_muxer>(container, path, std::move(codecs));
}

picture_convert_ptr create_ff_picture_convert(int src_width, int src_height,
                                              dt_pixel_format_t src_format, int dst_width,
                                              int dst_height, dt_pixel_format_t dst_format,
                                              int flags) {
    return boost::make_shared<swscale_picture_convert>(src_width, src_height, src_format, dst_width,
                                                       dst_height, dst_format, flags);
}

video_data_ptr create_ff_video_data_copy(const video_data::Impl& source) {
    return boost::make_shared<ff_video_data>(source);
}

dt_rational_t ff_nearest_rational(double value, int max_term) {
    const AVRational nearest = av_d2q(value, max_term);
    return dt_rational_t(nearest.num, nearest.den);
}

} // namespace kestrel
