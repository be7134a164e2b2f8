#pragma once
// One RGB pixel's channel sums as a four-lane float vector (the fourth lane
// is slack), so that weighted sums of pixels compile to vector arithmetic.
// Rows of sums hold three floats per pixel and one float of padding at
// their end, so that the last pixel can be loaded as a whole vector.

#include <cstdint>
#include <cstring>

namespace kestrel {
namespace image {
namespace gil {

typedef float float4 __attribute__((vector_size(16)));
typedef int32_t int4 __attribute__((vector_size(16)));

// The pixel's three sums and the next float, which goes unused.
inline float4 load_pixel(const float* sums) {
    float4 pixel;
    std::memcpy(&pixel, sums, sizeof pixel);
    return pixel;
}

// Saturates each channel to 0..255 and truncates it, all lanes at once.
inline void store_pixel(const float4& sum, uint8_t* out) {
    const float4 black = {0.0f, 0.0f, 0.0f, 0.0f};
    const float4 white = {255.0f, 255.0f, 255.0f, 255.0f};
    float4 clamped = sum < black ? black : sum;
    clamped = clamped > white ? white : clamped;
    const int4 levels = __builtin_convertvector(clamped, int4);
    out[0] = static_cast<uint8_t>(levels[0]);
    out[1] = static_cast<uint8_t>(levels[1]);
    out[2] = static_cast<uint8_t>(levels[2]);
}

} // namespace gil
} // namespace image
} // namespace kestrel
