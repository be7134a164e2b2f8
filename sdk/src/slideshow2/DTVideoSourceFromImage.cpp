#include "DTVideoSourceFromImage.h"

#include "DTGilSlideshowCore.h"
#include "image/DTVideoDataGil.h"

#include <boost/make_shared.hpp>

namespace kestrel {
namespace slideshow2 {

video_source_from_image::video_source_from_image(gil_slideshow_core& core) : core_(core) {}

video_source_from_image::~video_source_from_image() = default;

double video_source_from_image::duration() const { return core_.total_duration(); }

double video_source_from_image::frame_rate() const { return core_.frame_rate(); }

double video_source_from_image::advance(double dt) {
    const double moved = position_ + dt;
    position_ = moved;
    core_.render_for(reader_, moved);
    return moved;
}

void video_source_from_image::set_position(double t) {
    position_ = t;
    core_.render_for(reader_, t);
}

void video_source_from_image::move_to(double t) { position_ = t; }

video_format_ptr video_source_from_image::format() const {
    // Without the core lock: the window asks while a render may wait.
    return video_format::create(static_cast<int>(core_.frame_width()), static_cast<int>(core_.frame_height()),
                                dt_pixel_format_rgb24);
}

video_data_timed_ptr video_source_from_image::read() {
    if (stopped_)
        return video_data_timed_ptr();
    video_data_timed_ptr timed;
    double next = 0.0;
    {
        boost::lock_guard<boost::mutex> lock(core_.frame_mutex());
        const double total = core_.total_duration();
        const double p = position_;
        const double period = 1000.0 / core_.frame_rate();
        double length = total - p;
        if (!(period > length))
            length = period;
        if (!(length > 0.0))
            return video_data_timed_ptr();
        // A picture of its own, which the reader may keep as long as it
        // likes: the rendered buffer itself, a new one taking its place.
        timed = boost::make_shared<video_data_timed>(
            boost::make_shared<image::gil::video_data_gil_no_copy>(core_.take_frame_for(reader_, p)), length, p);
        next = p + length;
        position_ = next;
    }
    if (!stopped_)
        core_.render_for(reader_, next);
    return timed;
}

} // namespace slideshow2
} // namespace kestrel
