#include "DTComposePicture.h"

#include "DTRowWorkers.h"
#include "image/DTImageSampling.h"

#include <boost/gil/image_view.hpp>

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace kestrel {
namespace slideshow2 {

namespace {

// The picture point of frame pixel (x, y). Both passes compute it with
// exactly this expression, so they agree on which pixels a picture covers.
inline double map_u(const affine_transform& inv, double x, double y) {
    return inv.a * x + inv.c * y + inv.e;
}
inline double map_v(const affine_transform& inv, double x, double y) {
    return inv.b * x + inv.d * y + inv.f;
}

inline uint8_t* frame_row(const boost::gil::rgb8_view_t& frame, std::ptrdiff_t y) {
    return reinterpret_cast<uint8_t*>(frame.row_begin(y));
}
inline const uint8_t* picture_row(const boost::gil::rgb8c_view_t& picture, std::ptrdiff_t y) {
    return reinterpret_cast<const uint8_t*>(picture.row_begin(y));
}

// Where one frame column (or row) samples the picture, as the sampler
// sees it: inside when the floor pixel lies in the picture; the floor
// pixel, its neighbour (the floor pixel again at the last column or row)
// and the two weights 1 - fraction and fraction.
struct sample_step {
    bool inside;
    int first;
    int next;
    double near_weight;
    double far_weight;
};

sample_step step_at(double t, std::ptrdiff_t size) {
    sample_step step = {t >= 0.0 && t < static_cast<double>(size), 0, 0, 0.0, 0.0};
    if (step.inside) {
        step.first = static_cast<int>(t);
        step.next = step.first + 1 < size ? step.first + 1 : step.first;
        const double fraction = t - step.first;
        step.near_weight = 1.0 - fraction;
        step.far_weight = fraction;
    }
    return step;
}

// A pixel's three channels (and an idle fourth lane) as doubles: one
// vector operation per tap where the machine has 256-bit registers, two
// where it has 128-bit ones.
typedef double double4 __attribute__((vector_size(32)));
typedef double double2 __attribute__((vector_size(16)));
typedef int32_t int4 __attribute__((vector_size(16)));

#define KESTREL_INLINE inline __attribute__((always_inline))

KESTREL_INLINE double4 splat(double value) { return double4{value, value, value, value}; }

KESTREL_INLINE double4 bytes_at(const uint8_t* pixel) {
    return double4{static_cast<double>(pixel[0]), static_cast<double>(pixel[1]),
                   static_cast<double>(pixel[2]), 0.0};
}

// Four doubles from a converted row; the fourth is the next pixel's red,
// or the row's slack.
KESTREL_INLINE double4 doubles_at(const double* pixel) {
    double4 value;
    std::memcpy(&value, pixel, sizeof value);
    return value;
}

// `count` pixels as doubles, three a pixel and one of slack, so that the
// last pixel loads as four lanes too.
KESTREL_INLINE const double* to_doubles(const uint8_t* bytes, int count, std::vector<double>& values) {
    const std::size_t channels = static_cast<std::size_t>(count) * 3;
    values.resize(channels + 1);
    double* into = values.data();
    std::size_t i = 0;
    // Sixteen at a time, widened step by step (every x86-64 has SSE2).
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= channels; i += 16) {
        const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i halves[2] = {_mm_unpacklo_epi8(sixteen, zero), _mm_unpackhi_epi8(sixteen, zero)};
        for (int h = 0; h < 2; ++h) {
            const __m128i quarters[2] = {_mm_unpacklo_epi16(halves[h], zero), _mm_unpackhi_epi16(halves[h], zero)};
            for (int q = 0; q < 2; ++q) {
                double* at = into + i + 8 * h + 4 * q;
                _mm_storeu_pd(at, _mm_cvtepi32_pd(quarters[q]));
                _mm_storeu_pd(at + 2, _mm_cvtepi32_pd(_mm_unpackhi_epi64(quarters[q], quarters[q])));
            }
        }
    }
    for (; i < channels; ++i)
        into[i] = bytes[i];
    into[channels] = 0.0;
    return values.data();
}

// Adds the four weighted taps to the frame pixel: the same operations in
// the same order as the sampler, lane by lane, so every rounding is the
// sampler's own and the stored channels are the same.
template <class Tap>
KESTREL_INLINE void blend(uint8_t* out, const double4& before, const Tap& upper_first, const Tap& upper_next,
                  const Tap& lower_first, const Tap& lower_next, const sample_step& column,
                  const sample_step& row, double weight) {
    const double2 horizontal = {column.near_weight, column.far_weight};
    const double2 top = double2{row.near_weight, row.near_weight} * horizontal * double2{weight, weight};
    const double2 bottom = double2{row.far_weight, row.far_weight} * horizontal * double2{weight, weight};
    double4 sum = before;
    sum += splat(top[0]) * upper_first;
    sum += splat(top[1]) * upper_next;
    sum += splat(bottom[0]) * lower_first;
    sum += splat(bottom[1]) * lower_next;
    // The sampler's saturation: not above 0 (NaN too) gives 0, from 255 on
    // 255, else truncation.
    const double4 zero = splat(0.0), white = splat(255.0);
    double4 level = sum > zero ? sum : zero;
    level = level >= white ? white : level;
    const int4 levels = __builtin_convertvector(level, int4);
    out[0] = static_cast<uint8_t>(levels[0]);
    out[1] = static_cast<uint8_t>(levels[1]);
    out[2] = static_cast<uint8_t>(levels[2]);
}

// A transform that neither turns nor shears (the Ken Burns motions): the
// picture column depends on the frame column alone and the picture row on
// the frame row alone, so both are worked out once per frame, and each
// picture row a frame row needs is turned into doubles once.
class separable_pass {
public:
    separable_pass(const boost::gil::rgb8_view_t& frame, const boost::gil::rgb8c_view_t& picture,
                   const affine_transform& inv, double weight, bool onto_black)
        : frame_(frame), picture_(picture), weight_(weight), onto_black_(onto_black) {
        for (std::ptrdiff_t x = 0; x < frame.width(); ++x) {
            sample_step column = step_at(map_u(inv, static_cast<double>(x), 0.0), picture.width());
            if (!column.inside)
                continue;
            first_source_ = std::min(first_source_, column.first);
            last_source_ = std::max(last_source_, column.next);
            columns_.push_back(column);
            column_x_.push_back(static_cast<int>(x));
        }
        // Columns count from the first picture column used.
        for (sample_step& column : columns_) {
            column.first -= first_source_;
            column.next -= first_source_;
        }
        for (std::ptrdiff_t y = 0; y < frame.height(); ++y)
            rows_.push_back(step_at(map_v(inv, 0.0, static_cast<double>(y)), picture.height()));
    }

    bool empty() const { return columns_.empty(); }

    void draw_rows(int first, int last) const;

private:
    // The picture row's used columns as doubles, kept while neighbouring
    // frame rows need it again.
    struct converted_row {
        int row = -1;
        std::vector<double> values;
    };

    KESTREL_INLINE const double* converted(converted_row (&rows)[2], int row, int& turn) const {
        for (converted_row& held : rows)
            if (held.row == row)
                return held.values.data();
        converted_row& into = rows[turn];
        turn ^= 1;
        into.row = row;
        return to_doubles(picture_row(picture_, row) + 3 * first_source_, last_source_ - first_source_ + 1,
                          into.values);
    }

    friend void draw_separable_rows(const separable_pass& pass, int first, int last);

    const boost::gil::rgb8_view_t& frame_;
    const boost::gil::rgb8c_view_t& picture_;
    const double weight_;
    const bool onto_black_;
    // The covered columns only.
    std::vector<sample_step> columns_;
    std::vector<int> column_x_;
    std::vector<sample_step> rows_;
    int first_source_ = 1 << 30, last_source_ = -1;
};

// Built twice: for machines with 256-bit vector registers and for any.
__attribute__((target_clones("avx2", "default"))) void draw_separable_rows(const separable_pass& pass,
                                                                          int first, int last) {
    separable_pass::converted_row held[2];
    std::vector<double> before;
    int turn = 0;
    const sample_step* const columns = pass.columns_.data();
    const int* const column_x = pass.column_x_.data();
    const std::size_t count = pass.columns_.size();
    const int first_x = column_x[0];
    const double weight = pass.weight_;
    const std::size_t row_bytes = static_cast<std::size_t>(pass.frame_.width()) * 3;
    for (int y = first; y < last; ++y) {
        const sample_step& row = pass.rows_[y];
        uint8_t* out = frame_row(pass.frame_, y);
        if (pass.onto_black_)
            std::memset(out, 0, row_bytes);
        if (!row.inside)
            continue;
        const double* upper = pass.converted(held, row.first, turn);
        const double* lower = pass.converted(held, row.next, turn);
        if (pass.onto_black_) {
            for (std::size_t i = 0; i < count; ++i) {
                const sample_step& column = columns[i];
                blend(out + 3 * column_x[i], splat(0.0), doubles_at(upper + 3 * column.first),
                      doubles_at(upper + 3 * column.next), doubles_at(lower + 3 * column.first),
                      doubles_at(lower + 3 * column.next), column, row, weight);
            }
            continue;
        }
        const double* frame_values = to_doubles(out + 3 * first_x, column_x[count - 1] - first_x + 1, before);
        for (std::size_t i = 0; i < count; ++i) {
            const sample_step& column = columns[i];
            const int x = column_x[i];
            blend(out + 3 * x, doubles_at(frame_values + 3 * (x - first_x)), doubles_at(upper + 3 * column.first),
                  doubles_at(upper + 3 * column.next), doubles_at(lower + 3 * column.first),
                  doubles_at(lower + 3 * column.next), column, row, weight);
        }
    }
}

void separable_pass::draw_rows(int first, int last) const { draw_separable_rows(*this, first, last); }

// Any other transform: each pixel maps on its own.
void draw_rows_general(const boost::gil::rgb8_view_t& frame, const boost::gil::rgb8c_view_t& picture,
                       const affine_transform& inv, double weight, bool onto_black, int first, int last) {
    for (int y = first; y < last; ++y) {
        uint8_t* out = frame_row(frame, y);
        if (onto_black)
            std::memset(out, 0, static_cast<std::size_t>(frame.width()) * 3);
        for (std::ptrdiff_t x = 0; x < frame.width(); ++x) {
            const double fx = static_cast<double>(x), fy = static_cast<double>(y);
            const sample_step column = step_at(map_u(inv, fx, fy), picture.width());
            const sample_step row = step_at(map_v(inv, fx, fy), picture.height());
            if (!column.inside || !row.inside)
                continue;
            const uint8_t* upper = picture_row(picture, row.first);
            const uint8_t* lower = picture_row(picture, row.next);
            blend(out + 3 * x, bytes_at(out + 3 * x), bytes_at(upper + 3 * column.first),
                  bytes_at(upper + 3 * column.next), bytes_at(lower + 3 * column.first),
                  bytes_at(lower + 3 * column.next), column, row, weight);
        }
    }
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

void fill_black(const boost::gil::rgb8_view_t& frame) {
    for (std::ptrdiff_t y = 0; y < frame.height(); ++y)
        std::memset(frame_row(frame, y), 0, static_cast<std::size_t>(frame.width()) * 3);
}

void compose_picture(const boost::gil::rgb8_view_t& frame, const boost::gil::rgb8c_view_t& picture,
                     const affine_transform& m, double weight, row_workers* workers, bool onto_black) {
    if (frame.width() <= 0 || frame.height() <= 0)
        return;
    const affine_transform inv = invert_transform(m);
    const int rows = static_cast<int>(frame.height());
    row_workers::row_job job;
    // With b = c = 0 exactly, b*x and c*y are zeros and drop out of the
    // mapping without changing a bit of it.
    std::unique_ptr<separable_pass> pass;
    if (picture.width() <= 0 || picture.height() <= 0) {
        // Nothing to add.
    } else if (inv.b == 0.0 && inv.c == 0.0) {
        pass.reset(new separable_pass(frame, picture, inv, weight, onto_black));
        if (!pass->empty())
            job = [&pass](int first, int last) { pass->draw_rows(first, last); };
    } else {
        job = [&](int first, int last) {
            draw_rows_general(frame, picture, inv, weight, onto_black, first, last);
        };
    }
    if (!job) {
        if (onto_black)
            fill_black(frame);
        return;
    }
    if (workers)
        workers->run(rows, job);
    else
        job(0, rows);
}

} // namespace slideshow2
} // namespace kestrel
