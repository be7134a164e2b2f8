#include "DTVideoDataGil.h"

#include <boost/gil/image.hpp>

namespace kestrel {
namespace image {
namespace gil {

int video_data_gil_no_copy_impl::width() const { return static_cast<int>(image_->width()); }

int video_data_gil_no_copy_impl::height() const { return static_cast<int>(image_->height()); }

dt_pixel_format_t video_data_gil_no_copy_impl::pixel_format() const { return dt_pixel_format_rgb24; }

uint8_t* video_data_gil_no_copy_impl::data() const {
    if (image_->width() == 0 || image_->height() == 0)
        return nullptr;
    const auto view = boost::gil::const_view(*image_);
    return const_cast<uint8_t*>(&boost::gil::at_c<0>(view(0, 0)));
}

int video_data_gil_no_copy_impl::size() const { return width() * 3 * height(); }

uint8_t* video_data_gil_no_copy_impl::plane_data(int plane) const {
    return plane == 0 ? data() : nullptr;
}

int video_data_gil_no_copy_impl::line_size(int plane) const { return plane == 0 ? width() * 3 : 0; }

} // namespace gil
} // namespace image
} // namespace kestrel
