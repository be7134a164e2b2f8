#include "DTKenBurns.h"

namespace kestrel {
namespace slideshow2 {

// A size of zero or less gives scale 0: a singular transform, which the
// renderer draws as nothing, rather than an infinite scale.
bool ken_burns_impl::has_pixels() const {
    return frame_width > 0 && frame_height > 0 && image_width > 0 && image_height > 0;
}

double ken_burns_impl::fill_scale() const {
    if (!has_pixels())
        return 0.0;
    const double W = frame_width, H = frame_height, w = image_width, h = image_height;
    // Equal aspects count as relatively narrower: the width fits exactly.
    return w / h <= W / H ? W / w : H / h;
}

affine_transform ken_burns_impl::placed(double k, double tx, double ty) {
    return affine_transform{k, 0.0, 0.0, k, tx, ty};
}

affine_transform ken_burns_impl::centred(double k) const {
    return placed(k, (frame_width - image_width * k) / 2, (frame_height - image_height * k) / 2);
}

affine_transform ken_burns_static::start() const {
    const double s = fill_scale();
    const double overflow_y = frame_height - image_height * s;
    return placed(s, (frame_width - image_width * s) / 2,
                  image_width >= image_height ? overflow_y / 2 : overflow_y / 3);
}

affine_transform ken_burns_static::end() const { return start(); }

affine_transform ken_burns_landscape_zoom_out::start() const {
    const double k = zoom * fill_scale();
    return placed(k, align_x * (frame_width - image_width * k),
                  align_y * (frame_height - image_height * k));
}

affine_transform ken_burns_landscape_zoom_out::end() const { return centred(fill_scale()); }

// Portrait motions assume a photo relatively narrower than the frame and
// always fit its width.
double ken_burns_portrait_zoom_out::width_scale() const {
    if (!has_pixels())
        return 0.0;
    return static_cast<double>(frame_width) / image_width;
}

double ken_burns_portrait_zoom_out::top_cut(double k) const { return -image_height * k * top; }

double ken_burns_portrait_zoom_out::bottom_cut(double k) const {
    return frame_height - image_height * k * (1 - bottom);
}

// Downwards: from the top part, zoomed, to the bottom part; upwards the
// other way.
affine_transform ken_burns_portrait_zoom_out::start() const {
    const double k = zoom * width_scale();
    return placed(k, (frame_width - image_width * k) / 2, downwards ? top_cut(k) : bottom_cut(k));
}

affine_transform ken_burns_portrait_zoom_out::end() const {
    const double k = width_scale();
    return placed(k, 0.0, downwards ? bottom_cut(k) : top_cut(k));
}

} // namespace slideshow2
} // namespace kestrel
