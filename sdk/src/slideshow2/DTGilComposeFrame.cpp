#include "DTGilComposeFrame.h"

#include "DTComposePicture.h"
#include "DTLog.h"

#include <boost/gil/image.hpp>

#include <chrono>
#include <cstring>

namespace kestrel {
namespace slideshow2 {

gil_compose_frame::gil_compose_frame(boost::gil::rgb8_image_t& target)
    : target_(target), workers_(row_workers::default_helpers()) {}

gil_compose_frame::~gil_compose_frame() {
    if (total_drawing_time_ > 0.0)
        log_line(logger::info()) << "[gil_compose_frame] avg fps : " << draw_count_ / total_drawing_time_
                                 << std::endl;
}

void gil_compose_frame::clear() {
    const boost::gil::rgb8_view_t frame = boost::gil::view(target_);
    if (frame.width() <= 0 || frame.height() <= 0)
        return;
    const std::size_t row_bytes = static_cast<std::size_t>(frame.width()) * 3;
    if (static_cast<std::size_t>(frame.pixels().row_size()) == row_bytes) {
        std::memset(reinterpret_cast<uint8_t*>(frame.row_begin(0)), 0, row_bytes * static_cast<std::size_t>(frame.height()));
        return;
    }
    for (std::ptrdiff_t y = 0; y < frame.height(); ++y)
        std::memset(reinterpret_cast<uint8_t*>(frame.row_begin(y)), 0, row_bytes);
}

void gil_compose_frame::draw(const boost::gil::rgb8c_view_t& picture, const affine_transform& m,
                             double weight) {
    const auto begin = std::chrono::steady_clock::now();
    compose_picture(boost::gil::view(target_), picture, m, weight, &workers_);
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - begin;
    total_drawing_time_ += spent.count();
    ++draw_count_;
}

} // namespace slideshow2
} // namespace kestrel
