#include "DTFFPictureConvertImpl.h"

#include "DTFFGlobal.h"
#include "DTFFPicture.h"

#include <boost/make_shared.hpp>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace kestrel {

namespace {
const ffmpeg_global_init_request ffmpeg_init;
const int scaler_planes = 4;
} // namespace

swscale_picture_convert_impl::swscale_picture_convert_impl(int src_width, int src_height,
                                                           dt_pixel_format_t src_format,
                                                           int dst_width, int dst_height,
                                                           dt_pixel_format_t dst_format, int flags)
    : dst_width_(dst_width), dst_height_(dst_height), dst_format_(dst_format),
      src_width_(src_width), src_height_(src_height), src_format_(src_format) {
    // The scaler asserts on pixel format numbers it has no entry for (the
    // process would abort), so they are refused here as it refuses others.
    if (!sws_isSupportedInput(static_cast<AVPixelFormat>(src_format)) ||
        !sws_isSupportedOutput(static_cast<AVPixelFormat>(dst_format)))
        KESTREL_THROW(picture_convert::error() << errinfo_api_function("sws_getContext"));
    context_.reset(sws_getContext(src_width, src_height, static_cast<AVPixelFormat>(src_format),
                                  dst_width, dst_height, static_cast<AVPixelFormat>(dst_format),
                                  flags, nullptr, nullptr, nullptr),
                   details::SwsContextFree_());
    if (!context_)
        KESTREL_THROW(picture_convert::error() << errinfo_api_function("sws_getContext"));
    destination_ = dt_create_picture(dst_format, dst_width, dst_height);
    staging_ = dt_create_picture(src_format, src_width, src_height);
}

swscale_picture_convert_impl::~swscale_picture_convert_impl() {
    destination_.reset();
    staging_.reset();
    context_.reset();
}

video_data_ptr swscale_picture_convert_impl::convert(video_data_ptr picture) {
    if (!context_ || !destination_)
        KESTREL_THROW(errors::unexpected());
    // The scaler reads src_height_ rows of src_width_ pixels: anything
    // smaller or of another layout would be read out of bounds.
    if (!picture || picture->pixel_format() != src_format_ || picture->width() < src_width_ ||
        picture->height() < src_height_)
        KESTREL_THROW(errors::invalid_argument());

    // The scaler's vector code reads whole blocks past the end of a row, so
    // on the last row it reads beyond a tightly packed buffer (the renderer's
    // frames are such buffers). It reads from a copy padded the way FFmpeg
    // pads its own pictures.
    const uint8_t* planes[scaler_planes] = {};
    int strides[scaler_planes] = {};
    for (int i = 0; i < scaler_planes && i < picture->planes_count(); ++i) {
        planes[i] = picture->plane_data(i);
        strides[i] = picture->line_size(i);
    }
    // A plane that is missing or has rows shorter than the source width
    // would be read out of bounds.
    const AVPixelFormat format = static_cast<AVPixelFormat>(src_format_);
    for (int i = 0; i < av_pix_fmt_count_planes(format); ++i)
        if (!planes[i] || strides[i] < av_image_get_linesize(format, src_width_, i))
            KESTREL_THROW(errors::invalid_argument());
    av_image_copy(staging_->data, staging_->linesize, planes, strides,
                  format, src_width_, src_height_);
    sws_scale(context_.get(), staging_->data, staging_->linesize, 0, src_height_,
              destination_->data, destination_->linesize);
    return boost::make_shared<ff_video_data>(destination_, dst_width_, dst_height_, dst_format_);
}

swscale_picture_convert::swscale_picture_convert(int src_width, int src_height,
                                                 dt_pixel_format_t src_format, int dst_width,
                                                 int dst_height, dt_pixel_format_t dst_format,
                                                 int flags)
    : picture_convert(new swscale_picture_convert_impl(src_width, src_height, src_format, dst_width,
                                                       dst_height, dst_format, flags)) {}

} // namespace kestrel
