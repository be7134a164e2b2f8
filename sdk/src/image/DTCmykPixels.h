#pragma once
// Four-colour print pixels (cyan, magenta, yellow, black, one byte each)
// as screen colours. Without a colour profile the inks are taken as ideal:
// each subtracts its own third of the light, black all of it. Files of
// Adobe's tools store the inks inverted (255 is no ink), and so does every
// CMYK or YCCK file with Adobe's marker.

#include <cstdint>

namespace kestrel {
namespace image {
namespace gil {

// Turns the `width` CMYK pixels at the start of `row` into packed RGB
// pixels in the same memory (the first width * 3 bytes).
void cmyk_row_to_rgb(uint8_t* row, int width, bool inverted);

} // namespace gil
} // namespace image
} // namespace kestrel
