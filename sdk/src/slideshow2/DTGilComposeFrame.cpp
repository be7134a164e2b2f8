#include "DTGilComposeFrame.h"

#include "base/DTLog.h"

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

void gil_compose_frame::clear() {
    black_pending_ = true;
    pictures_.clear();
    layers_.clear();
}

void gil_compose_frame::draw(const picture_ptr& picture, const affine_transform& m, double weight) {
    if (!picture)
        return;
    pictures_.push_back(picture);
    layers_.push_back(picture_layer{boost::gil::const_view(*picture), m, weight});
}

void gil_compose_frame::complete() {
    if (layers_.empty() && !black_pending_)
        return;
    const auto begin = std::chrono::steady_clock::now();
    compose_pictures(boost::gil::view(target_), layers_, &workers_, black_pending_);
    if (!layers_.empty()) {
        const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - begin;
        total_drawing_time_ += spent.count();
        draw_count_ += static_cast<uint32_t>(layers_.size());
    }
    black_pending_ = false;
    layers_.clear();
    pictures_.clear();
}

} // namespace slideshow2
} // namespace kestrel
