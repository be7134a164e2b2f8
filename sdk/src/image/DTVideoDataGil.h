#pragma once
// A picture that views one of the engine's packed RGB images in place. The
// image must outlive the picture; whoever keeps a frame longer takes a copy.

#include "DTVideoData.h"

#include <boost/gil/typedefs.hpp>

namespace kestrel {
namespace image {
namespace gil {

class video_data_gil_no_copy_impl : public video_data::Impl {
public:
    explicit video_data_gil_no_copy_impl(const boost::gil::rgb8_image_t* image) : image_(image) {}

    int width() const override;
    int height() const override;
    dt_pixel_format_t pixel_format() const override;
    uint8_t* data() const override;
    int size() const override;
    int planes_count() const override { return 1; }
    uint8_t* plane_data(int plane) const override;
    int line_size(int plane) const override;

private:
    const boost::gil::rgb8_image_t* image_;
};

class video_data_gil_no_copy : public video_data {
public:
    explicit video_data_gil_no_copy(const boost::gil::rgb8_image_t& image)
        : video_data(new video_data_gil_no_copy_impl(&image)) {}
};

} // namespace gil
} // namespace image
} // namespace kestrel
