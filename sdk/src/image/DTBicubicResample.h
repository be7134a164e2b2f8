#pragma once
// Scales a decoded photo by one factor with cubic convolution and stores
// the result turned by whole quarter turns, in one pass over the output.
// Output pixel (x, y) of the upright scaled picture samples the source at
// (x / scale, y / scale), without a half-pixel offset; of the four taps in
// each direction those outside the source fall back to the floor pixel's
// row or column. Runs on the caller's thread; allocates two rows of work.

#include <boost/gil/typedefs.hpp>

namespace kestrel {
namespace image {
namespace gil {

// `target` becomes width x height (height x width for an odd number of
// clockwise quarter turns), packed; width and height are the upright
// scaled size, chosen by the caller.
void resample_turned(const boost::gil::rgb8c_view_t& source, double scale, int width, int height,
                     int quarter_turns, boost::gil::rgb8_image_t& target);

} // namespace gil
} // namespace image
} // namespace kestrel
