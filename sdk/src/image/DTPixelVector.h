#pragma once
// One RGB pixel's channel sums as a four-lane float vector (the fourth lane
// is slack), so that weighted sums of pixels compile to vector arithmetic.
// Rows of sums hold three floats per pixel and one float of padding at
// their end, so that the last pixel can be loaded as a whole vector.

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace kestrel {
namespace image {
namespace gil {

typedef float float4 __attribute__((vector_size(16)));

// The pixel's three sums and the next float, which goes unused.
inline float4 load_pixel(const float* sums) {
    float4 pixel;
    std::memcpy(&pixel, sums, sizeof pixel);
    return pixel;
}

// Saturates each channel to 0..255 and truncates it.
inline void store_pixel(const float4& sum, uint8_t* out) {
    for (int channel = 0; channel < 3; ++channel) {
        const float value = std::min(std::max(sum[channel], 0.0f), 255.0f);
        out[channel] = static_cast<uint8_t>(static_cast<int>(value));
    }
}

} // namespace gil
} // namespace image
} // namespace kestrel
