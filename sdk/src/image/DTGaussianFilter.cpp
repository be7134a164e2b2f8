#include "DTGaussianFilter.h"

#include "image/DTImageSampling.h"
#include "image/DTPixelVector.h"

#include <boost/gil/image_view.hpp>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

namespace kestrel {
namespace image {
namespace gil {

namespace {

const double epsilon = std::numeric_limits<double>::epsilon();
const double sqrt_two_pi = 2.5066282746310007;
// Reciprocals of values about 0 become this, with the value's sign.
const double huge_reciprocal = 4503599627370496.0;
// The tail a kernel may cut off: less than one level of an 8-bit channel.
const double tail_limit = 1.0 / 255.0;
// No meaningful blur is wider; keeps a wild strength from looping on.
const int max_kernel_width = 4001;

double safe_reciprocal(double value) {
    if (std::fabs(value) <= epsilon)
        return value < 0 ? -huge_reciprocal : huge_reciprocal;
    return 1.0 / value;
}

int kernel_width(double sigma) {
    if (std::fabs(sigma) <= epsilon)
        return 3;
    const double alpha = safe_reciprocal(2.0 * sigma * sigma);
    const double beta = safe_reciprocal(std::fabs(sigma) * sqrt_two_pi);
    int width = 5;
    for (; width < max_kernel_width; width += 2) {
        const int half = (width - 1) / 2;
        double norm = 0.0;
        for (int i = -half; i <= half; ++i)
            norm += std::exp(-static_cast<double>(i) * i * alpha) * beta;
        if (std::exp(-static_cast<double>(half) * half * alpha) * beta / norm < tail_limit)
            break;
    }
    return width - 2;
}

// Both passes add up a window of pixels, times the kernel's weights, in
// the kernel's order; sums are floats, stored saturated and truncated.

// Every row on its own, through a zero-padded float copy of the row.
void convolve_rows(uint8_t* origin, std::ptrdiff_t row_bytes, std::ptrdiff_t width, std::ptrdiff_t height,
                   const std::vector<float>& kernel) {
    const std::ptrdiff_t size = static_cast<std::ptrdiff_t>(kernel.size());
    const std::ptrdiff_t half = (size - 1) / 2;
    std::vector<float> padded(static_cast<std::size_t>(width + size - 1) * 3 + 1, 0.0f);
    for (std::ptrdiff_t y = 0; y < height; ++y) {
        uint8_t* row = origin + y * row_bytes;
        for (std::ptrdiff_t i = 0; i < width * 3; ++i)
            padded[static_cast<std::size_t>(half * 3 + i)] = row[i];
        for (std::ptrdiff_t p = 0; p < width; ++p) {
            const float* window = &padded[static_cast<std::size_t>(p * 3)];
            float4 sum = {0.0f, 0.0f, 0.0f, 0.0f};
            for (std::ptrdiff_t k = 0; k < size; ++k)
                sum += load_pixel(window + k * 3) * kernel[static_cast<std::size_t>(k)];
            store_pixel(sum, row + p * 3);
        }
    }
}

// Every column, computed a whole row at a time from a copy of the rows;
// rows beyond the picture add nothing (black).
void convolve_columns(uint8_t* origin, std::ptrdiff_t row_bytes, std::ptrdiff_t width, std::ptrdiff_t height,
                      const std::vector<float>& kernel) {
    const std::ptrdiff_t size = static_cast<std::ptrdiff_t>(kernel.size());
    const std::ptrdiff_t half = (size - 1) / 2;
    const std::size_t values = static_cast<std::size_t>(width) * 3;
    std::vector<uint8_t> rows(values * static_cast<std::size_t>(height));
    for (std::ptrdiff_t y = 0; y < height; ++y)
        std::memcpy(&rows[values * static_cast<std::size_t>(y)], origin + y * row_bytes, values);
    std::vector<float> sums(values);
    for (std::ptrdiff_t y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0.0f);
        for (std::ptrdiff_t k = 0; k < size; ++k) {
            const std::ptrdiff_t source = y - half + k;
            if (source < 0 || source >= height)
                continue;
            const float weight = kernel[static_cast<std::size_t>(k)];
            const uint8_t* row = &rows[values * static_cast<std::size_t>(source)];
            for (std::size_t i = 0; i < values; ++i)
                sums[i] += row[i] * weight;
        }
        uint8_t* out = origin + y * row_bytes;
        for (std::size_t i = 0; i < values; ++i)
            out[i] = clamp_channel(sums[i]);
    }
}

} // namespace

double gaussian_sigma(double scale, double strength) { return (1.0 / scale - 1.0) * 0.5 * strength; }

std::vector<float> gaussian_kernel(double sigma) {
    if (std::isnan(sigma))
        sigma = 0.0;
    const int size = kernel_width(sigma);
    if (std::fabs(sigma) < epsilon)
        sigma = epsilon;
    const int half = (size - 1) / 2;
    std::vector<double> weights(static_cast<std::size_t>(size));
    double total = 0.0;
    for (int i = -half; i <= half; ++i) {
        const double w = std::exp(static_cast<double>(i) * i / (-2.0 * sigma * sigma)) / (sigma * sqrt_two_pi);
        weights[static_cast<std::size_t>(i + half)] = w;
        total += w;
    }
    std::vector<float> kernel(weights.size());
    for (std::size_t i = 0; i < weights.size(); ++i)
        kernel[i] = static_cast<float>(weights[i] / total);
    return kernel;
}

void convolve_kernel(const boost::gil::rgb8_view_t& image, double scale, double strength) {
    if (!(strength > 0.0) || image.width() == 0 || image.height() == 0)
        return;
    const std::vector<float> kernel = gaussian_kernel(gaussian_sigma(scale, strength));
    uint8_t* origin = &boost::gil::at_c<0>(image(0, 0));
    const std::ptrdiff_t row_bytes = image.pixels().row_size();
    convolve_rows(origin, row_bytes, image.width(), image.height(), kernel);
    convolve_columns(origin, row_bytes, image.width(), image.height(), kernel);
}

} // namespace gil
} // namespace image
} // namespace kestrel
