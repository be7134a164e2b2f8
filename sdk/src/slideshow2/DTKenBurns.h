#pragma once
// Ken Burns motions: given the frame and photo sizes in pixels, a motion
// gives the transform that places the photo on the frame at the beginning
// of the slide (start) and at its end (end); the renderer blends the two by
// the slide's progress. Every transform here is a uniform scale k and an
// offset: a = d = k, b = c = 0, the photo's top-left corner at (e, f).
//
// Landscape motions start enlarged by `zoom` at an edge, a corner or the
// centre and end at the fill size, centred. Portrait motions glide up or
// down a photo scaled to the frame's width. A frame or photo side of zero
// or less gives scale 0, a transform that draws nothing. Motion objects are
// plain numbers, made per use and never shared between threads.

#include "image/DTAffineTransform.h"

namespace kestrel {
namespace slideshow2 {

class ken_burns {
public:
    virtual affine_transform start() const = 0;
    virtual affine_transform end() const = 0;
    virtual ~ken_burns() = default;
};

// Sizes in pixels; create_ken_burns sets them right after making a motion.
class ken_burns_impl : public ken_burns {
public:
    int frame_width = 0;
    int frame_height = 0;
    int image_width = 0;
    int image_height = 0;

protected:
    bool has_pixels() const;
    // The scale at which the photo covers the whole frame.
    double fill_scale() const;
    // The photo at scale k placed at (tx, ty).
    static affine_transform placed(double k, double tx, double ty);
    // The photo at scale k, centred on the frame.
    affine_transform centred(double k) const;
};

// Fill scale, centred; a tall photo keeps one third of its overflow above
// the frame and two thirds below, so more of its upper part shows.
class ken_burns_static : public ken_burns_impl {
public:
    affine_transform start() const override;
    affine_transform end() const override;
};

// Where a landscape motion puts the enlarged photo at its start: for each
// axis, 0 aligns the leading edges, 1 the trailing edges, 0.5 centres.
class ken_burns_landscape_zoom_out : public ken_burns_impl {
public:
    ken_burns_landscape_zoom_out(double zoom, double align_x, double align_y)
        : zoom(zoom), align_x(align_x), align_y(align_y) {}
    affine_transform start() const override;
    affine_transform end() const override;

private:
    double zoom, align_x, align_y;
};

#define KESTREL_LANDSCAPE_MOTION(name, align_x, align_y)                        \
    class name : public ken_burns_landscape_zoom_out {                        \
    public:                                                                   \
        explicit name(double zoom) : ken_burns_landscape_zoom_out(zoom, align_x, align_y) {} \
    };

KESTREL_LANDSCAPE_MOTION(ken_burns_landscape_lr_zoom_out, 0.0, 0.5)
KESTREL_LANDSCAPE_MOTION(ken_burns_landscape_rl_zoom_out, 1.0, 0.5)
KESTREL_LANDSCAPE_MOTION(ken_burns_landscape_tb_zoom_out, 0.5, 0.0)
KESTREL_LANDSCAPE_MOTION(ken_burns_landscape_bt_zoom_out, 0.5, 1.0)
KESTREL_LANDSCAPE_MOTION(ken_burns_landscape_center_zoom_out, 0.5, 0.5)
KESTREL_LANDSCAPE_MOTION(ken_burns_landscape_diag_tl_zoom_out, 0.0, 0.0)
KESTREL_LANDSCAPE_MOTION(ken_burns_landscape_diag_tr_zoom_out, 1.0, 0.0)
KESTREL_LANDSCAPE_MOTION(ken_burns_landscape_diag_bl_zoom_out, 0.0, 1.0)
KESTREL_LANDSCAPE_MOTION(ken_burns_landscape_diag_br_zoom_out, 1.0, 1.0)

#undef KESTREL_LANDSCAPE_MOTION

// A portrait photo scaled to the frame's width (zoom times wider at the
// start), gliding down or up. `top` and `bottom` are fractions of the
// photo's height: the view reaches down from `top` below its top edge, or
// up to `bottom` above its bottom edge.
class ken_burns_portrait_zoom_out : public ken_burns_impl {
public:
    affine_transform start() const override;
    affine_transform end() const override;

protected:
    ken_burns_portrait_zoom_out(bool downwards, double zoom, double top, double bottom)
        : downwards(downwards), zoom(zoom), top(top), bottom(bottom) {}

private:
    double width_scale() const;
    // The offset of the photo at scale k with its `top` fraction above the
    // frame, or with its `bottom` fraction below the frame.
    double top_cut(double k) const;
    double bottom_cut(double k) const;

    bool downwards;
    double zoom, top, bottom;
};

class ken_burns_portrait_top_bottom_zoom_out : public ken_burns_portrait_zoom_out {
public:
    ken_burns_portrait_top_bottom_zoom_out(double zoom, double top, double bottom)
        : ken_burns_portrait_zoom_out(true, zoom, top, bottom) {}
};

class ken_burns_portrait_bottom_top_zoom_out : public ken_burns_portrait_zoom_out {
public:
    ken_burns_portrait_bottom_top_zoom_out(double zoom, double top, double bottom)
        : ken_burns_portrait_zoom_out(false, zoom, top, bottom) {}
};

} // namespace slideshow2
} // namespace kestrel
