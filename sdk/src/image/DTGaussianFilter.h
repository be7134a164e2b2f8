#pragma once
// The softening applied to a decoded photo before it is shrunk to a
// thumbnail, so that fine detail does not alias: a separable Gaussian blur
// whose width follows the remaining scale. Runs on the caller's thread.

#include <boost/gil/typedefs.hpp>

#include <vector>

namespace kestrel {
namespace image {
namespace gil {

// The Gaussian's sigma for a scale s and a strength: (1/s - 1) * 0.5 * strength.
double gaussian_sigma(double scale, double strength);
// Normalised weights of odd length, centred; the length is the narrowest
// for which the kernel's tail falls below 1/255, and 3 for a sigma of
// about 0 (weights 0, 1, 0). A negative sigma acts like its magnitude.
std::vector<float> gaussian_kernel(double sigma);

// Blurs `image` in place, first every row, then every column; pixels
// outside the picture count as black and sums saturate to 0..255.
// Nothing happens when `strength` is not above 0.
void convolve_kernel(const boost::gil::rgb8_view_t& image, double scale, double strength);

} // namespace gil
} // namespace image
} // namespace kestrel
