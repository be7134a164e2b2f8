#pragma once
// The frame composer of the renderer and the arithmetic of the show's
// timeline. Times are milliseconds.
//
// Timeline: slide i shows over [i*d, (i+1)*d). A transition of half-width
// h = min(tr, d) / 2 is centred on each boundary: the incoming slide fades
// in from 0.1 h before the boundary to h after it, the outgoing one fades
// out from h before it to 0.1 h after it, so both weigh 1/11 at the
// boundary and a change of slide passes through near black. The first
// slide starts at full weight; the last one fades straight to black at the
// show's end. Not-a-number durations or times give no slide at all.
//
// Composer: clear() starts a black frame; draw() adds a picture to it;
// complete() puts the frame together: all its pictures in one sweep (see
// DTComposePicture.h), the black painted on the way, the rows shared among
// a few helper threads that start with the first frame and are joined on
// destruction. A draw holds its picture until the frame is complete. It keeps
// the drawing statistics (wall-clock seconds spent drawing and pictures
// drawn) and logs the pictures per second when it goes. Called by one
// thread at a time (the renderer's, under its lock).

#include "DTComposePicture.h"
#include "DTRowWorkers.h"
#include "image/DTAffineTransform.h"

#include <boost/gil/typedefs.hpp>
#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <memory>
#include <vector>

namespace kestrel {
namespace slideshow2 {

class gil_compose_frame : private boost::noncopyable {
public:
    struct durations {
        double slide;      // d
        double transition; // tr
    };

    // A is the outgoing slide of a transition, B the incoming or the only
    // visible one; -1 for none. Local times count from each slide's start.
    struct transition {
        int index_a = -1;
        int index_b = -1;
        double weight_a = 0.0;
        double weight_b = 0.0;
        double time_a = 0.0;
        double time_b = 0.0;
    };

    struct split {
        int index;
        double local_time;
    };

    // The target frame is not owned and must outlive the composer.
    explicit gil_compose_frame(boost::gil::rgb8_image_t& target);
    ~gil_compose_frame();

    typedef boost::shared_ptr<const boost::gil::rgb8_image_t> picture_ptr;

    void clear();
    // m maps picture points to frame points.
    void draw(const picture_ptr& picture, const affine_transform& m, double weight);
    // Every pixel of the target is written by then; call before the frame
    // is read, also after a failed draw.
    void complete();

    static transition transition_at(const durations& times, double t, unsigned count);
    // Index trunc(t / d) and the time since that slide's start; index -1
    // (never a slide) when the quotient is not a number or beyond int.
    static split split_time(double t, double d);
    // x is the time from the boundary (negative before it), h the half-width.
    static double fade_in_weight(double x, double h);
    static double fade_out_weight(double x, double h, bool last);

private:
    boost::gil::rgb8_image_t& target_;
    double total_drawing_time_ = 0.0; // seconds
    uint32_t draw_count_ = 0;
    bool black_pending_ = false; // cleared, not yet painted
    std::vector<picture_ptr> pictures_; // drawn into the coming frame
    std::vector<picture_layer> layers_;
    row_workers workers_;
};

} // namespace slideshow2
} // namespace kestrel
