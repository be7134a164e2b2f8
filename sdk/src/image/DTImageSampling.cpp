#include "DTImageSampling.h"

#include <boost/gil/image_view.hpp>

#include <algorithm>

namespace kestrel {
namespace image {

double cubic_weight(double d) {
    if (d < 1.0)
        return d * d * d - 2.0 * d * d + 1.0;
    if (d < 2.0)
        return -d * d * d + 5.0 * d * d - 8.0 * d + 4.0;
    return 0.0;
}

bounds transformed_bounds(double x0, double y0, double x1, double y1, const slideshow2::affine_transform& m) {
    const double xs[] = {x0, x1, x0, x1};
    const double ys[] = {y0, y0, y1, y1};
    bounds result = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        const double x = m.a * xs[i] + m.c * ys[i] + m.e;
        const double y = m.b * xs[i] + m.d * ys[i] + m.f;
        if (i == 0) {
            result = {x, y, x, y};
            continue;
        }
        result.min_x = std::min(result.min_x, x);
        result.min_y = std::min(result.min_y, y);
        result.max_x = std::max(result.max_x, x);
        result.max_y = std::max(result.max_y, y);
    }
    return result;
}

namespace gil {

bool sample_bilinear_weighted(const boost::gil::rgb8c_view_t& source, double x, double y,
                              boost::gil::rgb8_pixel_t& target, double weight) {
    // The floor pixel lies inside exactly when 0 <= x < width (likewise y);
    // testing before converting keeps NaN and huge points away from the
    // integer conversion.
    const double width = static_cast<double>(source.width());
    const double height = static_cast<double>(source.height());
    if (!(x >= 0.0 && x < width && y >= 0.0 && y < height))
        return false;
    const std::ptrdiff_t xi = static_cast<std::ptrdiff_t>(x);
    const std::ptrdiff_t yi = static_cast<std::ptrdiff_t>(y);
    const std::ptrdiff_t xn = xi + 1 < source.width() ? xi + 1 : xi;
    const std::ptrdiff_t yn = yi + 1 < source.height() ? yi + 1 : yi;
    const double fx = x - static_cast<double>(xi);
    const double fy = y - static_cast<double>(yi);

    const std::ptrdiff_t rows[] = {yi, yn};
    const double row_weights[] = {1.0 - fy, fy};
    const std::ptrdiff_t columns[] = {xi, xn};
    const double column_weights[] = {1.0 - fx, fx};
    double sum[3] = {static_cast<double>(target[0]), static_cast<double>(target[1]),
                     static_cast<double>(target[2])};
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 2; ++c) {
            const double w = row_weights[r] * column_weights[c] * weight;
            const auto pixel = source(columns[c], rows[r]);
            for (int channel = 0; channel < 3; ++channel)
                sum[channel] += w * pixel[channel];
        }
    }
    for (int channel = 0; channel < 3; ++channel)
        target[channel] = clamp_channel(sum[channel]);
    return true;
}

} // namespace gil
} // namespace image
} // namespace kestrel
