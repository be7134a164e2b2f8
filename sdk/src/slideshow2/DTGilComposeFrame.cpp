#include "DTGilComposeFrame.h"

#include "DTComposePicture.h"
#include "DTLog.h"

#include <boost/gil/image.hpp>

#include <chrono>

namespace kestrel {
namespace slideshow2 {

gil_compose_frame::gil_compose_frame(boost::gil::rgb8_image_t& target)
    : target_(target), workers_(row_workers::default_helpers()) {}

gil_compose_frame::~gil_compose_frame() {
    if (total_drawing_time_ > 0.0)
        log_line(logger::info()) << "[gil_compose_frame] avg fps : " << draw_count_ / total_drawing_time_
                                 << std::endl;
}

void gil_compose_frame::clear() { black_pending_ = true; }

void gil_compose_frame::complete() {
    if (black_pending_)
        fill_black(boost::gil::view(target_));
    black_pending_ = false;
}

void gil_compose_frame::draw(const boost::gil::rgb8c_view_t& picture, const affine_transform& m,
                             double weight) {
    const auto begin = std::chrono::steady_clock::now();
    compose_picture(boost::gil::view(target_), picture, m, weight, &workers_, black_pending_);
    black_pending_ = false;
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - begin;
    total_drawing_time_ += spent.count();
    ++draw_count_;
}

} // namespace slideshow2
} // namespace kestrel
