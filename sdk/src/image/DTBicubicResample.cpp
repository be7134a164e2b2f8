#include "DTBicubicResample.h"

#include "image/DTImageSampling.h"
#include "image/DTOrientedView.h"
#include "image/DTPixelVector.h"

#include <boost/gil/image.hpp>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace kestrel {
namespace image {
namespace gil {

namespace {

const int rows_per_batch = 16;

// The four source positions and weights that one output column (or row)
// reads. Because the scale is the same along a whole row and column, they
// are worked out once per column and once per row instead of per pixel.
struct taps {
    std::ptrdiff_t index[4];
    float weight[4];
};

std::vector<taps> make_taps(int count, double scale, std::ptrdiff_t length) {
    std::vector<taps> result(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        taps& t = result[static_cast<std::size_t>(i)];
        const double u = i / scale;
        if (!(u >= 0.0 && u < static_cast<double>(length))) {
            // Outside the source: all weights 0 leave the pixel black.
            t = taps{{0, 0, 0, 0}, {0.0f, 0.0f, 0.0f, 0.0f}};
            continue;
        }
        const std::ptrdiff_t floor = static_cast<std::ptrdiff_t>(u);
        for (int k = 0; k < 4; ++k) {
            const std::ptrdiff_t position = floor - 1 + k;
            t.index[k] = position < 0 || position >= length ? floor : position;
            t.weight[k] = static_cast<float>(cubic_weight(std::fabs(u - static_cast<double>(position))));
        }
    }
    return result;
}

const uint8_t* row_pointer(const boost::gil::rgb8c_view_t& view, std::ptrdiff_t y) {
    return &(*view.row_begin(y))[0];
}

} // namespace

void resample_turned(const boost::gil::rgb8c_view_t& source, double scale, int width, int height,
                     int quarter_turns, boost::gil::rgb8_image_t& target) {
    const bool swaps = quarter_turns % 2 != 0;
    ensure_packed_image(target, swaps ? height : width, swaps ? width : height);
    if (width <= 0 || height <= 0 || source.width() == 0 || source.height() == 0) {
        boost::gil::fill_pixels(boost::gil::view(target), boost::gil::rgb8_pixel_t(0, 0, 0));
        return;
    }
    const oriented_view destination =
        make_oriented_view(boost::gil::view(target), width, height, quarter_turns_to_orientation(quarter_turns));
    const std::vector<taps> columns = make_taps(width, scale, source.width());
    const std::vector<taps> rows = make_taps(height, scale, source.height());

    const std::size_t source_values = static_cast<std::size_t>(source.width()) * 3;
    const std::size_t output_stride = static_cast<std::size_t>(width) * 3;
    std::vector<float> column_sums(source_values + 1);
    const bool in_place = destination.step_x == 3;
    std::vector<uint8_t> batch(in_place ? 0 : output_stride * rows_per_batch);

    for (int y = 0; y < height; ++y) {
        // Down the columns first: the four source rows of this output row,
        // weighted, for every source column.
        const taps& r = rows[static_cast<std::size_t>(y)];
        const uint8_t* s0 = row_pointer(source, r.index[0]);
        const uint8_t* s1 = row_pointer(source, r.index[1]);
        const uint8_t* s2 = row_pointer(source, r.index[2]);
        const uint8_t* s3 = row_pointer(source, r.index[3]);
        const float w0 = r.weight[0], w1 = r.weight[1], w2 = r.weight[2], w3 = r.weight[3];
        float* sums = column_sums.data();
        for (std::size_t i = 0; i < source_values; ++i)
            sums[i] = w0 * s0[i] + w1 * s1[i] + w2 * s2[i] + w3 * s3[i];

        // Then along the row, one pixel's three channels at a time.
        const int slot = y % rows_per_batch;
        uint8_t* out = in_place ? destination.at(0, y) : batch.data() + slot * output_stride;
        for (int x = 0; x < width; ++x, out += 3) {
            const taps& c = columns[static_cast<std::size_t>(x)];
            const float4 sum = c.weight[0] * load_pixel(sums + c.index[0] * 3) +
                               c.weight[1] * load_pixel(sums + c.index[1] * 3) +
                               c.weight[2] * load_pixel(sums + c.index[2] * 3) +
                               c.weight[3] * load_pixel(sums + c.index[3] * 3);
            store_pixel(sum, out);
        }
        if (!in_place && (slot == rows_per_batch - 1 || y == height - 1))
            copy_rows(destination, batch.data(), output_stride, y - slot, slot + 1);
    }
}

} // namespace gil
} // namespace image
} // namespace kestrel
