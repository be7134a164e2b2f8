#pragma once
// The arithmetic shared by the frame composer's passes: where a frame
// pixel samples a picture, rows of channels as floats, whole-number levels
// and their bytes, and the test for a float result that lies so near a
// truncation step that only the plain sampler can say on which side the
// exact value falls. Inline, for the composer's inner loops only.

#include "image/DTAffineTransform.h"
#include "image/DTImageSampling.h"
#include "image/DTPixelVector.h"

#include <boost/gil/image_view.hpp>
#include <boost/gil/typedefs.hpp>

#include <emmintrin.h>
#include <xmmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kestrel {
namespace slideshow2 {
namespace composition {

using image::gil::float4;
using image::gil::int4;

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
inline void to_floats(const uint8_t* bytes, std::size_t count, float* into) {
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
constexpr float step_margin = 1.0f / 512;

// Lanes whose result lies near a truncation step, the margin either side
// truncating to different whole numbers (toward zero, so 0 is no step),
// and that the picture changes at all, as a bit mask. Results stay within
// -255..510, so every conversion is in range.
inline int near_steps(const float4& result, const float4& contribution) {
    const int4 below = __builtin_convertvector(result - step_margin, int4);
    const int4 above = __builtin_convertvector(result + step_margin, int4);
    const int4 near = (below != above) & (contribution != 0.0f);
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

inline sample_step step_at(double t, std::ptrdiff_t size) {
    sample_step step = {t >= 0.0 && t < static_cast<double>(size), 0, 0, 0.0f, t};
    if (step.inside) {
        step.first = static_cast<int>(t);
        step.next = step.first + 1 < size ? step.first + 1 : step.first;
        step.fraction = static_cast<float>(t - step.first);
    }
    return step;
}

} // namespace composition
} // namespace slideshow2
} // namespace kestrel
