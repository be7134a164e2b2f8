#include "DTFFPictureConvertImpl.h"

#include "DTFFGlobal.h"
#include "DTFFPicture.h"

#include <boost/make_shared.hpp>

extern "C" {
#include <libavutil/imgutils.h>
}

namespace kestrel {

namespace {
const ffmpeg_global_init_request ffmpeg_init;
const int scaler_planes = 4;
// The scaler's vector code reads a little past the end of each source row:
// into the next row, or after the last one into whatever follows. The
// spare rows make that the converter's own memory.
const int spare_source_rows = 2;
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
    source_ = dt_create_picture(src_format, src_width, src_height + spare_source_rows);
    destination_ = dt_create_picture(dst_format, dst_width, dst_height);
}

swscale_picture_convert_impl::~swscale_picture_convert_impl() {
    destination_.reset();
    source_.reset();
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

    const uint8_t* planes[scaler_planes];
    int strides[scaler_planes];
    for (int i = 0; i < scaler_planes; ++i) {
        planes[i] = picture->plane_data(i);
        strides[i] = picture->line_size(i);
    }
    // A caller's frame may end exactly where its memory does (a packed
    // photo frame at the end of its allocation): it is scaled from a copy.
    av_image_copy(source_->data, source_->linesize, planes, strides,
                  static_cast<AVPixelFormat>(src_format_), src_width_, src_height_);
    sws_scale(context_.get(), source_->data, source_->linesize, 0, src_height_, destination_->data,
              destination_->linesize);
    return boost::make_shared<ff_video_data>(destination_, dst_width_, dst_height_, dst_format_);
}

swscale_picture_convert::swscale_picture_convert(int src_width, int src_height,
                                                 dt_pixel_format_t src_format, int dst_width,
                                                 int dst_height, dt_pixel_format_t dst_format,
                                                 int flags)
    : picture_convert(new swscale_picture_convert_impl(src_width, src_height, src_format, dst_width,
                                                       dst_height, dst_format, flags)) {}

} // namespace kestrel
