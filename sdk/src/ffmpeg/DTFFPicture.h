#pragma once
// Pictures held in FFmpeg frames: from the scaler, from a decoder, or a deep
// copy of any other picture.

#include "DTFFHandles.h"
#include "media/DTVideoData.h"

namespace kestrel {

// A frame with planes allocated for the format and size; throws
// errors::bad_alloc, or errors::unexpected when FFmpeg refuses the size.
AVFramePtr dt_create_picture(dt_pixel_format_t format, int width, int height);
// An empty frame for a decoder to fill.
AVFramePtr dt_create_decoded_frame();
// FFmpeg's packed picture size for the format and size.
int dt_picture_size(dt_pixel_format_t format, int width, int height);

class ff_video_data_impl : public video_data::Impl {
public:
    // Shares the frame.
    ff_video_data_impl(const AVFramePtr& frame, int width, int height, dt_pixel_format_t format);
    // Deep copies of any picture.
    explicit ff_video_data_impl(const video_data::Impl& source);
    explicit ff_video_data_impl(const video_data& source);

    int width() const override { return width_; }
    int height() const override { return height_; }
    dt_pixel_format_t pixel_format() const override { return pixel_format_; }
    uint8_t* data() const override { return frame_->data[0]; }
    int size() const override { return size_; }
    int planes_count() const override { return planes_count_; }
    uint8_t* plane_data(int plane) const override;
    int line_size(int plane) const override;

private:
    template <class Source>
    void copy_from(const Source& source);

    AVFramePtr frame_;
    int width_ = 0;
    int height_ = 0;
    dt_pixel_format_t pixel_format_ = -1;
    int planes_count_ = 0;
    int size_ = 0;
};

class ff_video_data : public video_data {
public:
    ff_video_data(const AVFramePtr& frame, int width, int height, dt_pixel_format_t format);
    explicit ff_video_data(const video_data::Impl& source);
    explicit ff_video_data(const video_data& source);
};

} // namespace kestrel
