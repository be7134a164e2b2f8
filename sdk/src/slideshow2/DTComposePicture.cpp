#include "DTComposePicture.h"

#include "DTRowWorkers.h"
#include "image/DTImageSampling.h"
#include "image/DTPixelVector.h"

#include <boost/gil/image_view.hpp>

#include <emmintrin.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace kestrel {
namespace slideshow2 {

using image::gil::float4;
using image::gil::int4;
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

inline float4 floats_at(const float* at) {
    float4 value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

inline void store_floats(float* at, const float4& value) { std::memcpy(at, &value, sizeof value); }

// Saturated to 0..255 and truncated, as whole numbers in floats.
inline float4 levels_of(const float4& value) {
    const float4 level = value < 0.0f ? float4{0, 0, 0, 0} : (value > 255.0f ? float4{255, 255, 255, 255} : value);
    return __builtin_convertvector(__builtin_convertvector(level, int4), float4);
}

// Four levels (whole numbers 0..255) into four bytes.
inline void store_bytes(uint8_t* at, const float4& levels) {
    const __m128i words = _mm_packs_epi32(_mm_cvttps_epi32(reinterpret_cast<const __m128&>(levels)),
                                          _mm_setzero_si128());
    const int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
    std::memcpy(at, &bytes, sizeof bytes);
}

// `count` channels as floats.
void to_floats(const uint8_t* bytes, std::size_t count, float* into) {
    std::size_t i = 0;
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= count; i += 16) {
        const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i low = _mm_unpacklo_epi8(sixteen, zero), high = _mm_unpackhi_epi8(sixteen, zero);
        _mm_storeu_ps(into + i, _mm_cvtepi32_ps(_mm_unpacklo_epi16(low, zero)));
        _mm_storeu_ps(into + i + 4, _mm_cvtepi32_ps(_mm_unpackhi_epi16(low, zero)));
        _mm_storeu_ps(into + i + 8, _mm_cvtepi32_ps(_mm_unpacklo_epi16(high, zero)));
        _mm_storeu_ps(into + i + 12, _mm_cvtepi32_ps(_mm_unpackhi_epi16(high, zero)));
    }
    for (; i < count; ++i)
        into[i] = bytes[i];
}

// A float result lies within 3e-4 of the exact value (channels up to 255,
// weights up to 1, a dozen roundings of 2^-24 each). Outside this margin
// around a truncation step it truncates as the exact value does.
const float step_margin = 1.0f / 512;

// Lanes whose result lies near a truncation step (the whole numbers 1 to
// 255; below 0 and from 255 on a channel saturates either way) and that
// the picture changes at all, as a bit mask.
inline int near_steps(const float4& result, const float4& contribution) {
    const float4 step = __builtin_convertvector(__builtin_convertvector(result + 0.5f, int4), float4);
    const float4 distance = result - step;
    const int4 near = (distance < step_margin) & (distance > -step_margin) & (result > 1.0f - step_margin) &
                      (result < 255.0f + step_margin) & (contribution != 0.0f);
    return _mm_movemask_ps(reinterpret_cast<const __m128&>(near));
}

// Where one frame column (or row) samples the picture, as the sampler sees
// it: inside when the floor pixel lies in the picture; the floor pixel, its
// neighbour (the floor pixel again at the last column or row), the fraction
// between them and the exact coordinate.
struct sample_step {
    bool inside;
    int first;
    int next;
    float fraction;
    double at;
};

sample_step step_at(double t, std::ptrdiff_t size) {
    sample_step step = {t >= 0.0 && t < static_cast<double>(size), 0, 0, 0.0f, t};
    if (step.inside) {
        step.first = static_cast<int>(t);
        step.next = step.first + 1 < size ? step.first + 1 : step.first;
        step.fraction = static_cast<float>(t - step.first);
    }
    return step;
}

// One picture under a transform that neither turns nor shears (the Ken
// Burns motions): the picture column depends on the frame column alone and
// the picture row on the frame row alone, so both are worked out once per
// frame. Each picture row a frame row needs is resampled across once; a
// frame row's contribution is then the blend of two such rows.
class separable_layer {
public:
    separable_layer(const boost::gil::rgb8_view_t& frame, const picture_layer& layer,
                    const affine_transform& inv)
        : picture_(layer.picture), weight_(layer.weight) {
        for (std::ptrdiff_t x = 0; x < frame.width(); ++x) {
            const sample_step column = step_at(map_u(inv, static_cast<double>(x), 0.0), picture_.width());
            if (!column.inside)
                continue;
            if (columns_.empty())
                first_x_ = static_cast<int>(x);
            else if (x != first_x_ + static_cast<std::ptrdiff_t>(columns_.size()))
                gaps_ = true;
            first_source_ = std::min(first_source_, column.first);
            last_source_ = std::max(last_source_, column.next);
            columns_.push_back(column);
        }
        // In the widened picture row: offsets of the two neighbours and
        // their weights.
        for (const sample_step& column : columns_)
            taps_.push_back(column_taps{3 * (column.first - first_source_), 3 * (column.next - first_source_),
                                        1.0f - column.fraction, column.fraction});
        for (std::ptrdiff_t y = 0; y < frame.height(); ++y)
            rows_.push_back(step_at(map_v(inv, 0.0, static_cast<double>(y)), picture_.height()));
    }

    // The covered columns lie side by side, as they do for any finite
    // transform; false sends the picture to the pixel-by-pixel pass.
    bool usable() const { return !gaps_; }

    // What a worker keeps between frame rows: the last two resampled rows.
    struct rows_held {
        int row[2] = {-1, -1};
        std::vector<float> values[2];
        int turn = 0;
        std::vector<float> widened;
    };

    bool covers_row(int y) const { return rows_[y].inside && !columns_.empty(); }
    // The covered channels of a frame row: [first_channel, end_channel).
    std::size_t first_channel() const { return 3 * static_cast<std::size_t>(first_x_); }
    std::size_t end_channel() const { return first_channel() + 3 * columns_.size(); }

    // Adds this picture to a frame row it covers. `levels` holds the row so
    // far (three floats a pixel, whole numbers); onto black it is not read.
    // The result replaces `levels`, or, with `out` given, goes straight to
    // the frame row's bytes and `levels` is left as it was. Onto black in
    // plain float; onto a picture exactly as the sampler adds.
    void add_to_row(int y, float* levels, uint8_t* out, bool onto_black, rows_held& held,
                    std::vector<float>& before, std::vector<std::size_t>& near) const {
        const sample_step& row = rows_[y];
        const float* upper = resampled(held, row.first);
        const float* lower = resampled(held, row.next);
        const float weight = static_cast<float>(weight_);
        const float fy = row.fraction * weight, gy = (1.0f - row.fraction) * weight;
        const std::size_t channels = 3 * columns_.size();
        float* covered = levels + first_channel();
        uint8_t* bytes = out ? out + first_channel() : nullptr;
        const float* was = covered; // the levels before this picture
        if (!onto_black && !bytes) {
            before.assign(covered, covered + channels);
            was = before.data();
        }
        near.clear(); // pixels whose result lies near a step
        std::size_t i = 0;
        for (; i + 4 <= channels; i += 4) {
            const float4 contribution = floats_at(upper + i) * gy + floats_at(lower + i) * fy;
            float4 result = contribution;
            if (!onto_black) {
                result += floats_at(was + i);
                const int lanes = near_steps(result, contribution);
                for (int lane = 0; lanes != 0 && lane < 4; ++lane)
                    if ((lanes >> lane) & 1)
                        near.push_back((i + lane) / 3);
            }
            if (bytes)
                store_bytes(bytes + i, levels_of(result));
            else
                store_floats(covered + i, levels_of(result));
        }
        for (; i < channels; ++i) { // the last pixel or two
            const float contribution = upper[i] * gy + lower[i] * fy;
            const float result = onto_black ? contribution : was[i] + contribution;
            if (!onto_black && (near_steps(float4{result, 0, 0, 0}, float4{contribution, 0, 0, 0}) & 1) != 0)
                near.push_back(i / 3);
            const float level = image::clamp_channel(result);
            if (bytes)
                bytes[i] = static_cast<uint8_t>(level);
            else
                covered[i] = level;
        }
        add_exactly(near, row, was, covered, bytes);
    }

private:
    // The listed pixels (in order, perhaps twice) again by the sampler
    // itself, from the levels they had before.
    void add_exactly(const std::vector<std::size_t>& pixels, const sample_step& row, const float* was,
                     float* covered, uint8_t* bytes) const {
        for (const std::size_t p : pixels) {
            const std::size_t i = 3 * p;
            boost::gil::rgb8_pixel_t pixel(static_cast<uint8_t>(was[i]), static_cast<uint8_t>(was[i + 1]),
                                           static_cast<uint8_t>(was[i + 2]));
            image::gil::sample_bilinear_weighted(picture_, columns_[p].at, row.at, pixel, weight_);
            for (int c = 0; c < 3; ++c) {
                if (bytes)
                    bytes[i + c] = pixel[c];
                else
                    covered[i + c] = pixel[c];
            }
        }
    }

    const float* resampled(rows_held& held, int row) const {
        for (int k = 0; k < 2; ++k)
            if (held.row[k] == row)
                return held.values[k].data();
        const int k = held.turn;
        held.turn ^= 1;
        held.row[k] = row;
        const std::size_t source_channels = static_cast<std::size_t>(last_source_ - first_source_ + 1) * 3;
        held.widened.resize(source_channels + 1);
        to_floats(picture_row(picture_, row) + 3 * first_source_, source_channels, held.widened.data());
        held.widened[source_channels] = 0.0f;
        // Three floats a frame pixel and slack for loads of four at the end.
        held.values[k].resize(3 * columns_.size() + 4);
        float* out = held.values[k].data();
        const float* widened = held.widened.data();
        for (const column_taps& taps : taps_) {
            store_floats(out, floats_at(widened + taps.left) * taps.left_weight +
                                  floats_at(widened + taps.right) * taps.right_weight);
            out += 3; // the fourth float is the next pixel's, written next
        }
        return held.values[k].data();
    }

    const boost::gil::rgb8c_view_t picture_;
    const double weight_;
    struct column_taps {
        int left, right;
        float left_weight, right_weight;
    };

    // The covered columns, from first_x_ on.
    std::vector<sample_step> columns_;
    std::vector<column_taps> taps_;
    int first_x_ = 0;
    bool gaps_ = false;
    std::vector<sample_step> rows_;
    int first_source_ = 1 << 30, last_source_ = -1;
};

// Levels [from, to) of a row into its bytes.
void levels_to_bytes(const float* levels, uint8_t* out, std::size_t from, std::size_t to) {
    std::size_t i = from;
    for (; i + 4 <= to; i += 4)
        store_bytes(out + i, floats_at(levels + i));
    for (; i < to; ++i)
        out[i] = static_cast<uint8_t>(levels[i]);
}

// All layers separable: each frame row is worked out once, every layer
// added to it in turn; the last one that covers the row writes its bytes.
void draw_separable_rows(const boost::gil::rgb8_view_t& frame,
                         const std::vector<std::unique_ptr<separable_layer>>& layers, bool onto_black,
                         int first, int last) {
    const std::size_t channels = static_cast<std::size_t>(frame.width()) * 3;
    std::vector<float> levels(channels + 4), before;
    std::vector<separable_layer::rows_held> held(layers.size());
    std::vector<std::size_t> covering, near;
    for (int y = first; y < last; ++y) {
        uint8_t* out = frame_row(frame, y);
        covering.clear();
        for (std::size_t k = 0; k < layers.size(); ++k)
            if (layers[k]->covers_row(y))
                covering.push_back(k);
        if (covering.empty()) {
            if (onto_black)
                std::memset(out, 0, channels);
            continue;
        }
        const separable_layer& final_layer = *layers[covering.back()];
        const bool single_onto_black = onto_black && covering.size() == 1;
        if (!single_onto_black) {
            if (onto_black)
                std::fill(levels.begin(), levels.end(), 0.0f);
            else
                to_floats(out, channels, levels.data());
        }
        for (std::size_t n = 0; n < covering.size(); ++n) {
            const bool last_layer = n + 1 == covering.size();
            layers[covering[n]]->add_to_row(y, levels.data(), last_layer ? out : nullptr, onto_black && n == 0,
                                            held[covering[n]], before, near);
        }
        // Around the last layer's columns the row is what the others left.
        if (single_onto_black) {
            std::memset(out, 0, final_layer.first_channel());
            std::memset(out + final_layer.end_channel(), 0, channels - final_layer.end_channel());
        } else {
            levels_to_bytes(levels.data(), out, 0, final_layer.first_channel());
            levels_to_bytes(levels.data(), out, final_layer.end_channel(), channels);
        }
    }
}

// Any other transform: each pixel maps on its own; onto black within 1,
// onto a picture exactly as the sampler adds.
void draw_rows_general(const boost::gil::rgb8_view_t& frame, const picture_layer& layer,
                       const affine_transform& inv, bool onto_black, int first, int last) {
    const boost::gil::rgb8c_view_t& picture = layer.picture;
    const float w = static_cast<float>(layer.weight);
    for (int y = first; y < last; ++y) {
        uint8_t* out = frame_row(frame, y);
        if (onto_black)
            std::memset(out, 0, static_cast<std::size_t>(frame.width()) * 3);
        for (std::ptrdiff_t x = 0; x < frame.width(); ++x) {
            const double u = map_u(inv, static_cast<double>(x), static_cast<double>(y));
            const double v = map_v(inv, static_cast<double>(x), static_cast<double>(y));
            const sample_step column = step_at(u, picture.width());
            const sample_step row = step_at(v, picture.height());
            if (!column.inside || !row.inside)
                continue;
            const uint8_t* upper = picture_row(picture, row.first);
            const uint8_t* lower = picture_row(picture, row.next);
            const float fx = column.fraction, gx = 1.0f - column.fraction;
            const float4 top =
                bytes_to_float4(upper + 3 * column.first) * gx + bytes_to_float4(upper + 3 * column.next) * fx;
            const float4 bottom =
                bytes_to_float4(lower + 3 * column.first) * gx + bytes_to_float4(lower + 3 * column.next) * fx;
            const float4 contribution = (top * (1.0f - row.fraction) + bottom * row.fraction) * w;
            uint8_t* pixel = out + 3 * x;
            if (onto_black) {
                store_pixel(contribution, pixel);
                continue;
            }
            const float4 result = bytes_to_float4(pixel) + contribution;
            if ((near_steps(result, contribution) & 7) != 0)
                image::gil::sample_bilinear_weighted(picture, u, v, frame(x, y), layer.weight);
            else
                store_pixel(result, pixel);
        }
    }
}

void run_rows(const boost::gil::rgb8_view_t& frame, row_workers* workers, const row_workers::row_job& job) {
    const int rows = static_cast<int>(frame.height());
    if (workers)
        workers->run(rows, job);
    else
        job(0, rows);
}

bool has_pixels(const boost::gil::rgb8c_view_t& picture) { return picture.width() > 0 && picture.height() > 0; }

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

void compose_pictures(const boost::gil::rgb8_view_t& frame, const std::vector<picture_layer>& layers,
                      row_workers* workers, bool onto_black) {
    if (frame.width() <= 0 || frame.height() <= 0)
        return;
    // Pictures without pixels add nothing.
    std::vector<picture_layer> drawn;
    for (const picture_layer& layer : layers)
        if (has_pixels(layer.picture))
            drawn.push_back(layer);
    if (drawn.empty()) {
        if (onto_black)
            fill_black(frame);
        return;
    }
    // Together, row by row, when every picture suits the separable pass:
    // the float error bound holds for weights from 0 to 1 (all a show uses).
    std::vector<std::unique_ptr<separable_layer>> separable;
    for (const picture_layer& layer : drawn) {
        const affine_transform inv = invert_transform(layer.m);
        // b = c = 0: b*x and c*y are zeros and drop out of the mapping
        // without changing a bit of it.
        if (!(layer.weight >= 0.0 && layer.weight <= 1.0) || inv.b != 0.0 || inv.c != 0.0)
            break;
        separable.emplace_back(new separable_layer(frame, layer, inv));
        if (!separable.back()->usable())
            break;
    }
    if (separable.size() == drawn.size() && separable.back()->usable()) {
        run_rows(frame, workers, [&](int first, int last) {
            draw_separable_rows(frame, separable, onto_black, first, last);
        });
        return;
    }
    // Otherwise one picture after the other.
    for (std::size_t k = 0; k < drawn.size(); ++k) {
        const picture_layer& layer = drawn[k];
        const bool black = onto_black && k == 0;
        if (!(layer.weight >= 0.0 && layer.weight <= 1.0)) {
            if (black)
                fill_black(frame);
            compose_picture_reference(frame, layer.picture, layer.m, layer.weight);
            continue;
        }
        const affine_transform inv = invert_transform(layer.m);
        run_rows(frame, workers, [&](int first, int last) {
            draw_rows_general(frame, layer, inv, black, first, last);
        });
    }
}

void compose_picture(const boost::gil::rgb8_view_t& frame, const boost::gil::rgb8c_view_t& picture,
                     const affine_transform& m, double weight, row_workers* workers, bool onto_black) {
    compose_pictures(frame, std::vector<picture_layer>{picture_layer{picture, m, weight}}, workers, onto_black);
}

} // namespace slideshow2
} // namespace kestrel
