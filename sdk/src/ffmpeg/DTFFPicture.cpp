#include "DTFFPicture.h"

#include "DTFFGlobal.h"
#include "base/DTErrors.h"

extern "C" {
#include <libavutil/imgutils.h>
}

namespace kestrel {

namespace {
const ffmpeg_global_init_request ffmpeg_init;

// Row alignment of the planes we allocate: what the scaler's and
// encoders' vector code reads fastest.
const int plane_alignment = 32;
} // namespace

AVFramePtr dt_create_picture(dt_pixel_format_t format, int width, int height) {
    AVFramePtr frame(av_frame_alloc(), details::_AVPictureDestroy());
    if (!frame)
        KESTREL_THROW(errors::bad_alloc());
    const int result = av_image_alloc(frame->data, frame->linesize, width, height,
                                      static_cast<AVPixelFormat>(format), plane_alignment);
    if (result < 0)
        KESTREL_THROW(errors::unexpected() << errinfo_api_function("av_image_alloc")
                                           << errinfo_errno(-result));
    frame->width = width;
    frame->height = height;
    frame->format = format;
    return frame;
}

AVFramePtr dt_create_decoded_frame() {
    AVFramePtr frame(av_frame_alloc(), details::_AVFrameDestroy());
    if (!frame)
        KESTREL_THROW(errors::bad_alloc());
    return frame;
}

int dt_picture_size(dt_pixel_format_t format, int width, int height) {
    return av_image_get_buffer_size(static_cast<AVPixelFormat>(format), width, height, 1);
}

ff_video_data_impl::ff_video_data_impl(const AVFramePtr& frame, int width, int height,
                                       dt_pixel_format_t format)
    : frame_(frame), width_(width), height_(height), pixel_format_(format),
      planes_count_(4), size_(dt_picture_size(format, width, height)) {}

ff_video_data_impl::ff_video_data_impl(const video_data::Impl& source) { copy_from(source); }

ff_video_data_impl::ff_video_data_impl(const video_data& source) { copy_from(source); }

template <class Source>
void ff_video_data_impl::copy_from(const Source& source) {
    const uint8_t* planes[AV_NUM_DATA_POINTERS];
    int line_sizes[AV_NUM_DATA_POINTERS];
    for (int i = 0; i < AV_NUM_DATA_POINTERS; ++i) {
        planes[i] = source.plane_data(i);
        line_sizes[i] = source.line_size(i);
    }
    const dt_pixel_format_t format = source.pixel_format();
    frame_ = dt_create_picture(format, source.width(), source.height());
    av_image_copy(frame_->data, frame_->linesize, planes, line_sizes,
                  static_cast<AVPixelFormat>(format), source.width(), source.height());
    size_ = dt_picture_size(format, source.width(), source.height());
    height_ = source.height();
    width_ = source.width();
    pixel_format_ = format;
    planes_count_ = source.planes_count();
}

uint8_t* ff_video_data_impl::plane_data(int plane) const {
    return plane >= 0 && plane < AV_NUM_DATA_POINTERS ? frame_->data[plane] : nullptr;
}

int ff_video_data_impl::line_size(int plane) const {
    return plane >= 0 && plane < AV_NUM_DATA_POINTERS ? frame_->linesize[plane] : 0;
}

ff_video_data::ff_video_data(const AVFramePtr& frame, int width, int height,
                             dt_pixel_format_t format)
    : video_data(new ff_video_data_impl(frame, width, height, format)) {}

ff_video_data::ff_video_data(const video_data::Impl& source)
    : video_data(new ff_video_data_impl(source)) {}

ff_video_data::ff_video_data(const video_data& source)
    : video_data(new ff_video_data_impl(source)) {}

} // namespace kestrel
