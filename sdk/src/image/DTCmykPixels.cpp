#include "DTCmykPixels.h"

namespace kestrel {
namespace image {
namespace gil {

namespace {

// The light left by an ink and black, both given as the light they let
// through (255 - ink): a product scaled back to 0..255, rounded.
uint8_t light(unsigned int colour_through, unsigned int black_through) {
    return static_cast<uint8_t>((colour_through * black_through + 127) / 255);
}

} // namespace

void cmyk_row_to_rgb(uint8_t* row, int width, bool inverted) {
    // Forward in place: pixel x is written at 3x, never past the 4x + 3
    // still to be read.
    const unsigned int flip = inverted ? 0 : 255;
    for (int x = 0; x < width; ++x) {
        const uint8_t* ink = row + 4 * x;
        const unsigned int black = flip ^ ink[3];
        const unsigned int c = flip ^ ink[0], m = flip ^ ink[1], y = flip ^ ink[2];
        uint8_t* rgb = row + 3 * x;
        rgb[0] = light(c, black);
        rgb[1] = light(m, black);
        rgb[2] = light(y, black);
    }
}

} // namespace gil
} // namespace image
} // namespace kestrel
