#pragma once
// Pixel arithmetic shared by the photo scaler and the frame composer:
// the cubic convolution weight, the bilinear sampler that adds a weighted
// picture into a frame, and the bounds of a transformed rectangle. Pure
// functions of their arguments; any thread.

#include "image/DTAffineTransform.h"

#include <boost/gil/typedefs.hpp>

#include <cstdint>

namespace kestrel {
namespace image {

struct bounds {
    double min_x;
    double min_y;
    double max_x;
    double max_y;
};

// Cubic convolution with a = -1 for a distance d >= 0: 1 at 0, 0 at 1 and
// from 2 on; the weights of four neighbours are used as they are.
double cubic_weight(double d);
// Saturates a channel sum to 0..255 and truncates it (NaN gives 0).
inline uint8_t clamp_channel(double sum) {
    if (!(sum > 0.0))
        return 0;
    if (sum >= 255.0)
        return 255;
    return static_cast<uint8_t>(sum);
}

// The axis-aligned bounds of the rectangle (x0, y0)-(x1, y1) under m.
bounds transformed_bounds(double x0, double y0, double x1, double y1, const slideshow2::affine_transform& m);

namespace gil {

// Adds weight x the bilinear sample of `source` at (x, y) to `target`,
// saturating each channel. The pixel (floor x, floor y) must lie inside the
// source, else nothing is touched and the result is false; its right and
// lower neighbours fall back to it at the last column and row.
bool sample_bilinear_weighted(const boost::gil::rgb8c_view_t& source, double x, double y,
                              boost::gil::rgb8_pixel_t& target, double weight);

} // namespace gil
} // namespace image
} // namespace kestrel
