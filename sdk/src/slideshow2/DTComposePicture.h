#pragma once
// Adds a weighted picture into a frame under an affine transform. Every
// frame pixel (x, y) is mapped back through the inverse transform to the
// exact, fractional picture point (u, v) and the picture is sampled there
// bilinearly: nothing is rounded to whole pixels, so a slowly moving
// picture glides. A pixel whose point lies outside the picture is left as
// it is; each channel saturates at 0 and 255.
//
// Two passes that agree: compose_picture_reference is the plain
// double-precision pass, sample by sample; compose_picture gives the very
// same frame in a fraction of the time: separable blending when the
// transform neither turns nor shears, float arithmetic, rows shared across
// threads, and the plain pass for the rare pixel whose float result comes
// so close to a truncation step that rounding could take it across. Pure
// functions of their arguments; frame and picture must not overlap.

#include "DTAffineTransform.h"

#include <boost/gil/typedefs.hpp>

namespace kestrel {
namespace slideshow2 {

class row_workers;

// The inverse of m. A singular m (det 0 or not finite) gives non-finite
// values, which map every pixel outside any picture.
affine_transform invert_transform(const affine_transform& m);

// m maps picture points to frame points.
void compose_picture_reference(const boost::gil::rgb8_view_t& frame,
                               const boost::gil::rgb8c_view_t& picture, const affine_transform& m,
                               double weight);

// As above; `workers` may be null (everything on the caller's thread).
// With `onto_black` the frame's pixels count as black whatever they hold
// (they are not read): every pixel is written, black where the picture
// does not reach. That spares clearing the frame before its first picture.
void compose_picture(const boost::gil::rgb8_view_t& frame, const boost::gil::rgb8c_view_t& picture,
                     const affine_transform& m, double weight, row_workers* workers,
                     bool onto_black = false);

// Every pixel black.
void fill_black(const boost::gil::rgb8_view_t& frame);

} // namespace slideshow2
} // namespace kestrel
