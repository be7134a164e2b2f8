#pragma once
// Picture conversion with FFmpeg's scaler. The converter owns one
// destination picture and every result shares it: a later conversion
// overwrites what earlier results show, so a caller that keeps a result
// past the next conversion copies it.

#include "DTFFHandles.h"
#include "media/DTPictureConvert.h"

namespace kestrel {

class swscale_picture_convert_impl : public picture_convert::Impl {
public:
    swscale_picture_convert_impl(int src_width, int src_height, dt_pixel_format_t src_format,
                                 int dst_width, int dst_height, dt_pixel_format_t dst_format,
                                 int flags);
    ~swscale_picture_convert_impl() override;

    // The picture must have the source pixel format and at least the source
    // size (larger pictures are read from their top left corner); anything
    // else is errors::invalid_argument.
    video_data_ptr convert(video_data_ptr picture) override;

private:
    int dst_width_;
    int dst_height_;
    dt_pixel_format_t dst_format_;
    int src_width_;
    int src_height_;
    dt_pixel_format_t src_format_;
    SwsContextPtr context_;
    AVFramePtr destination_;
    AVFramePtr staging_; // padded copy of the source the scaler reads
};

class swscale_picture_convert : public picture_convert {
public:
    swscale_picture_convert(int src_width, int src_height, dt_pixel_format_t src_format,
                            int dst_width, int dst_height, dt_pixel_format_t dst_format, int flags);
};

} // namespace kestrel
