#include "DTComposePicture.h"

#include "DTRowWorkers.h"
#include "image/DTImageSampling.h"
#include "image/DTPixelVector.h"

#include <boost/gil/image_view.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kestrel {
namespace slideshow2 {

using image::gil::float4;
using image::gil::load_pixel;
using image::gil::store_pixel;

namespace {

// The picture point of frame pixel (x, y). Both passes compute it with
// exactly this expression, so they agree on which pixels a picture covers.
inline double map_u(const affine_transform& inv, double x, double y) {
    return inv.a * x + inv.c * y + inv.e;
}
inline double map_v(const affine_transform& inv, double x, double y) {
    return inv.b * x + inv.d * y + inv.f;
}

// The sampler's rule: the floor pixel lies inside the picture.
inline bool inside(double t, double size) { return t >= 0.0 && t < size; }

inline uint8_t* frame_row(const boost::gil::rgb8_view_t& frame, std::ptrdiff_t y) {
    return reinterpret_cast<uint8_t*>(frame.row_begin(y));
}
inline const uint8_t* picture_row(const boost::gil::rgb8c_view_t& picture, std::ptrdiff_t y) {
    return reinterpret_cast<const uint8_t*>(picture.row_begin(y));
}

inline float4 bytes_to_float4(const uint8_t* pixel) {
    return float4{static_cast<float>(pixel[0]), static_cast<float>(pixel[1]),
                  static_cast<float>(pixel[2]), 0.0f};
}

// How close to a truncation step a float result may come before the pixel
// is worked out again in doubles. The float result of one pixel lies within
// 3e-4 of the exact value (channels up to 255, weights up to 1, a dozen
// roundings of 2^-24 each); outside this margin it truncates exactly as the
// plain pass does.
const float step_margin = 1.0f / 512;

// Steps lie at the whole numbers 1 to 255: below 0 and from 255 on a
// channel saturates, whichever side of those it falls.
inline bool near_step(float value) {
    if (!(value > 1.0f - step_margin && value < 255.0f + step_margin))
        return false;
    const float step = static_cast<float>(static_cast<int>(value + 0.5f));
    return std::fabs(value - step) < step_margin;
}

// Stores pixel + weight x sum, saturated and truncated, unless a channel
// lies too close to a step; then the pixel is left as it is and false
// returned.
inline bool store_if_clear(uint8_t* pixel, const float4& sum, float weight) {
    const float4 result = bytes_to_float4(pixel) + sum * weight;
    if (near_step(result[0]) || near_step(result[1]) || near_step(result[2]))
        return false;
    store_pixel(result, pixel);
    return true;
}

// Where one frame column (or row) samples the picture: the floor pixel, its
// neighbour (the floor pixel again at the last column or row) and the
// fraction between them.
struct sample_step {
    bool inside;
    int first;
    int next;
    float fraction;
    double at; // the exact picture coordinate
};

sample_step step_at(double t, int size) {
    sample_step step = {inside(t, size), 0, 0, 0.0f, t};
    if (step.inside) {
        step.first = static_cast<int>(t);
        step.next = step.first + 1 < size ? step.first + 1 : step.first;
        step.fraction = static_cast<float>(t - step.first);
    }
    return step;
}

// A transform that neither turns nor shears (the Ken Burns motions): the
// picture column depends on the frame column alone and the picture row on
// the frame row alone. Each frame row then blends two picture rows once
// into a row of sums, and each pixel blends two neighbours of that row.
class separable_pass {
public:
    separable_pass(const boost::gil::rgb8_view_t& frame, const boost::gil::rgb8c_view_t& picture,
                   const affine_transform& inv, double weight)
        : frame_(frame), picture_(picture), inv_(inv), weight_(weight) {
        const int width = static_cast<int>(frame.width());
        columns_.resize(static_cast<std::size_t>(width));
        for (int x = 0; x < width; ++x) {
            columns_[x] = step_at(map_u(inv, x, 0.0), static_cast<int>(picture.width()));
            if (!columns_[x].inside)
                continue;
            first_column_ = std::min(first_column_, x);
            last_column_ = std::max(last_column_, x);
            first_source_ = std::min(first_source_, columns_[x].first);
            last_source_ = std::max(last_source_, columns_[x].next);
        }
    }

    bool empty() const { return last_column_ < first_column_; }

    void draw_rows(int first, int last) const {
        thread_local std::vector<float> sums;
        // Three floats per source pixel and one of slack for the last load.
        sums.resize(static_cast<std::size_t>(last_source_ - first_source_ + 1) * 3 + 1);
        for (int y = first; y < last; ++y) {
            const sample_step row = step_at(map_v(inv_, 0.0, y), static_cast<int>(picture_.height()));
            if (row.inside)
                draw_row(y, row, sums.data());
        }
    }

private:
    void draw_row(int y, const sample_step& row, float* sums) const {
        const uint8_t* upper = picture_row(picture_, row.first) + 3 * first_source_;
        const uint8_t* lower = picture_row(picture_, row.next) + 3 * first_source_;
        const int count = 3 * (last_source_ - first_source_ + 1);
        const float fy = row.fraction, gy = 1.0f - row.fraction;
        for (int i = 0; i < count; ++i)
            sums[i] = gy * upper[i] + fy * lower[i];

        uint8_t* out = frame_row(frame_, y);
        for (int x = first_column_; x <= last_column_; ++x) {
            const sample_step& column = columns_[x];
            if (!column.inside)
                continue;
            const float4 left = load_pixel(sums + 3 * (column.first - first_source_));
            const float4 right = load_pixel(sums + 3 * (column.next - first_source_));
            const float4 sum = left * (1.0f - column.fraction) + right * column.fraction;
            if (!store_if_clear(out + 3 * x, sum, static_cast<float>(weight_)))
                image::gil::sample_bilinear_weighted(picture_, column.at, row.at, frame_(x, y), weight_);
        }
    }

    const boost::gil::rgb8_view_t& frame_;
    const boost::gil::rgb8c_view_t& picture_;
    const affine_transform inv_;
    const double weight_;
    std::vector<sample_step> columns_;
    int first_column_ = 1 << 30, last_column_ = -1;
    int first_source_ = 1 << 30, last_source_ = -1;
};

// Any other transform: each pixel maps on its own.
void draw_rows_general(const boost::gil::rgb8_view_t& frame, const boost::gil::rgb8c_view_t& picture,
                       const affine_transform& inv, double weight, int first, int last) {
    const int width = static_cast<int>(frame.width());
    const double picture_width = static_cast<double>(picture.width());
    const double picture_height = static_cast<double>(picture.height());
    for (int y = first; y < last; ++y) {
        uint8_t* out = frame_row(frame, y);
        for (int x = 0; x < width; ++x) {
            const double u = map_u(inv, x, y);
            const double v = map_v(inv, x, y);
            if (!inside(u, picture_width) || !inside(v, picture_height))
                continue;
            const sample_step column = step_at(u, static_cast<int>(picture.width()));
            const sample_step row = step_at(v, static_cast<int>(picture.height()));
            const uint8_t* upper = picture_row(picture, row.first);
            const uint8_t* lower = picture_row(picture, row.next);
            const float fx = column.fraction, gx = 1.0f - column.fraction;
            const float4 top =
                bytes_to_float4(upper + 3 * column.first) * gx + bytes_to_float4(upper + 3 * column.next) * fx;
            const float4 bottom =
                bytes_to_float4(lower + 3 * column.first) * gx + bytes_to_float4(lower + 3 * column.next) * fx;
            const float4 sum = top * (1.0f - row.fraction) + bottom * row.fraction;
            if (!store_if_clear(out + 3 * x, sum, static_cast<float>(weight)))
                image::gil::sample_bilinear_weighted(picture, u, v, frame(x, y), weight);
        }
    }
}

void run_rows(row_workers* workers, int rows, const row_workers::row_job& job) {
    if (workers)
        workers->run(rows, job);
    else
        job(0, rows);
}

} // namespace

affine_transform invert_transform(const affine_transform& m) {
    const double det = m.a * m.d - m.b * m.c;
    return affine_transform{m.d / det,
                            -m.b / det,
                            -m.c / det,
                            m.a / det,
                            (m.c * m.f - m.e * m.d) / det,
                            (m.b * m.e - m.a * m.f) / det};
}

void compose_picture_reference(const boost::gil::rgb8_view_t& frame,
                               const boost::gil::rgb8c_view_t& picture, const affine_transform& m,
                               double weight) {
    const affine_transform inv = invert_transform(m);
    for (std::ptrdiff_t y = 0; y < frame.height(); ++y) {
        for (std::ptrdiff_t x = 0; x < frame.width(); ++x) {
            const double u = map_u(inv, static_cast<double>(x), static_cast<double>(y));
            const double v = map_v(inv, static_cast<double>(x), static_cast<double>(y));
            image::gil::sample_bilinear_weighted(picture, u, v, frame(x, y), weight);
        }
    }
}

void compose_picture(const boost::gil::rgb8_view_t& frame, const boost::gil::rgb8c_view_t& picture,
                     const affine_transform& m, double weight, row_workers* workers) {
    if (frame.width() <= 0 || frame.height() <= 0 || picture.width() <= 0 || picture.height() <= 0)
        return;
    // The float error bound holds for weights up to 1 (all a show uses);
    // anything else, NaN included, takes the plain pass.
    if (!(weight >= 0.0 && weight <= 1.0)) {
        compose_picture_reference(frame, picture, m, weight);
        return;
    }
    const affine_transform inv = invert_transform(m);
    const int rows = static_cast<int>(frame.height());
    // With b = c = 0 exactly, b*x and c*y are zeros and drop out of the
    // mapping without changing a bit of it.
    const bool separable = inv.b == 0.0 && inv.c == 0.0 && std::isfinite(inv.a) && std::isfinite(inv.d) &&
                           std::isfinite(inv.e) && std::isfinite(inv.f);
    if (separable) {
        const separable_pass pass(frame, picture, inv, weight);
        if (!pass.empty())
            run_rows(workers, rows, [&pass](int first, int last) { pass.draw_rows(first, last); });
        return;
    }
    run_rows(workers, rows, [&](int first, int last) {
        draw_rows_general(frame, picture, inv, weight, first, last);
    });
}

} // namespace slideshow2
} // namespace kestrel
