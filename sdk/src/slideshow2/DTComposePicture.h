#pragma once
// Adds a weighted picture into a frame under an affine transform. Every
// frame pixel (x, y) is mapped back through the inverse transform to the
// exact, fractional picture point (u, v) and the picture is sampled there
// bilinearly: nothing is rounded to whole pixels, so a slowly moving
// picture glides. A pixel whose point lies outside the picture is left as
// it is; each channel saturates at 0 and 255.
//
// Two passes that agree: compose_picture_reference is the plain
// double-precision pass, sample by sample; compose_pictures adds several
// pictures in one sweep over the frame, several times faster (separable
// blending when a transform neither turns nor shears, float arithmetic,
// rows shared across threads), and stays within 1 of the plain passes run
// one after another on every channel of every pixel: a picture added onto
// black may differ by 1 where float rounding crosses a truncation step,
// and every further picture is added to what the frame holds exactly as
// the plain pass adds it (the rare pixel whose float result comes near a
// step is worked out by the plain sampler). Pure functions of their
// arguments; frame and pictures must not overlap.

#include "image/DTAffineTransform.h"

#include <boost/gil/image_view.hpp>
#include <boost/gil/typedefs.hpp>

#include <vector>

namespace kestrel {
namespace slideshow2 {

class row_workers;

// One picture to add: m maps picture points to frame points.
struct picture_layer {
    boost::gil::rgb8c_view_t picture;
    affine_transform m;
    double weight;
};

// The inverse of m. A singular m (det 0 or not finite) gives non-finite
// values, which map every pixel outside any picture.
affine_transform invert_transform(const affine_transform& m);

void compose_picture_reference(const boost::gil::rgb8_view_t& frame,
                               const boost::gil::rgb8c_view_t& picture, const affine_transform& m,
                               double weight);

// The layers in order. With `onto_black` the frame counts as black
// whatever it holds (it is not read) and every pixel is written; that
// spares clearing it first. `workers` may be null (all on the caller's
// thread).
void compose_pictures(const boost::gil::rgb8_view_t& frame, const std::vector<picture_layer>& layers,
                      row_workers* workers, bool onto_black);

// One picture.
void compose_picture(const boost::gil::rgb8_view_t& frame, const boost::gil::rgb8c_view_t& picture,
                     const affine_transform& m, double weight, row_workers* workers,
                     bool onto_black = false);

// Every pixel black.
void fill_black(const boost::gil::rgb8_view_t& frame);

} // namespace slideshow2
} // namespace kestrel
