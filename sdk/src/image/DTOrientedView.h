#pragma once
// Packed rgb8 images (rows of width * 3 bytes, no padding) and the way
// pixels produced upright are stored turned or mirrored: pixel (x, y) of a
// width x height source lands at origin + x * step_x + y * step_y. The JPEG
// reader applies EXIF orientations this way and the photo scaler its turns,
// so pixels are moved once, as they are made.

#include <boost/gil/typedefs.hpp>

#include <cstddef>
#include <cstdint>

namespace kestrel {
namespace image {
namespace gil {

// Gives `image` the size width x height with packed rows, re-allocating it
// when its size or row layout differs (its pixels are then lost).
void ensure_packed_image(boost::gil::rgb8_image_t& image, std::ptrdiff_t width, std::ptrdiff_t height);

struct oriented_view {
    uint8_t* origin;       // where source pixel (0, 0) lands
    std::ptrdiff_t step_x; // bytes from source pixel (x, y) to (x + 1, y)
    std::ptrdiff_t step_y; // bytes from source pixel (x, y) to (x, y + 1)
    int width;             // the source's size, before orientation
    int height;

    uint8_t* at(int x, int y) const { return origin + x * step_x + y * step_y; }
};

// EXIF orientations: 1 as stored, 2 mirrored left to right, 3 turned 180
// degrees, 4 mirrored top to bottom, 5 transposed, 6 turned 90 degrees
// clockwise, 7 transverse, 8 turned 90 degrees counter-clockwise; any
// other value leaves the pixels as they are. 5 to 8 exchange the sides.
bool orientation_swaps_sides(int orientation);
// The orientation of n clockwise quarter turns (0 to 3): 1, 6, 3, 8.
int quarter_turns_to_orientation(int turns);

// A view over `target`, which must already have the oriented size (height
// x width when the orientation exchanges the sides).
oriented_view make_oriented_view(const boost::gil::rgb8_view_t& target, int width, int height, int orientation);

// Stores `count` packed source rows (`stride` bytes apart) as the source
// rows first_row, first_row + 1, ... of the view.
void copy_rows(const oriented_view& view, const uint8_t* rows, std::size_t stride, int first_row, int count);

} // namespace gil
} // namespace image
} // namespace kestrel
