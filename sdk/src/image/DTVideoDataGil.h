#pragma once
// A picture that views one of the engine's packed RGB images in place.
// Made from a reference, it does not own the image, which must outlive it
// (whoever keeps such a frame longer takes a copy); made from a shared
// image, it keeps the image alive as long as anyone holds the picture.

#include "media/DTVideoData.h"

#include <boost/gil/typedefs.hpp>
#include <boost/shared_ptr.hpp>

namespace kestrel {
namespace image {
namespace gil {

class video_data_gil_no_copy_impl : public video_data::Impl {
public:
    explicit video_data_gil_no_copy_impl(const boost::gil::rgb8_image_t* image) : image_(image) {}
    explicit video_data_gil_no_copy_impl(boost::shared_ptr<const boost::gil::rgb8_image_t> image)
        : image_(image.get()), owner_(std::move(image)) {}

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
    boost::shared_ptr<const boost::gil::rgb8_image_t> owner_; // empty for a plain view
};

class video_data_gil_no_copy : public video_data {
public:
    explicit video_data_gil_no_copy(const boost::gil::rgb8_image_t& image)
        : video_data(new video_data_gil_no_copy_impl(&image)) {}
    explicit video_data_gil_no_copy(boost::shared_ptr<const boost::gil::rgb8_image_t> image)
        : video_data(new video_data_gil_no_copy_impl(std::move(image))) {}
};

} // namespace gil
} // namespace image
} // namespace kestrel
