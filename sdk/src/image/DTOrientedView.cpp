#include "DTOrientedView.h"

#include <boost/gil/image.hpp>

#include <cstring>

namespace kestrel {
namespace image {
namespace gil {

void ensure_packed_image(boost::gil::rgb8_image_t& image, std::ptrdiff_t width, std::ptrdiff_t height) {
    // Alignment 0 means packed rows; an image of that size and layout keeps its memory.
    image.recreate(width, height, 0);
}

bool orientation_swaps_sides(int orientation) { return orientation >= 5 && orientation <= 8; }

int quarter_turns_to_orientation(int turns) {
    static const int orientations[] = {1, 6, 3, 8};
    return orientations[((turns % 4) + 4) % 4];
}

oriented_view make_oriented_view(const boost::gil::rgb8_view_t& target, int width, int height, int orientation) {
    uint8_t* base = target.width() > 0 && target.height() > 0 ? &boost::gil::at_c<0>(target(0, 0)) : nullptr;
    const std::ptrdiff_t pixel = 3;
    const std::ptrdiff_t row = target.height() > 0 ? target.pixels().row_size() : 0;
    auto at = [&](std::ptrdiff_t column, std::ptrdiff_t line) {
        return base ? base + line * row + column * pixel : base;
    };
    const int last_x = width - 1;
    const int last_y = height - 1;
    switch (orientation) {
    case 2:
        return {at(last_x, 0), -pixel, row, width, height};
    case 3:
        return {at(last_x, last_y), -pixel, -row, width, height};
    case 4:
        return {at(0, last_y), pixel, -row, width, height};
    case 5:
        return {at(0, 0), row, pixel, width, height};
    case 6:
        return {at(last_y, 0), row, -pixel, width, height};
    case 7:
        return {at(last_y, last_x), -row, -pixel, width, height};
    case 8:
        return {at(0, last_x), -row, pixel, width, height};
    default:
        return {at(0, 0), pixel, row, width, height};
    }
}

void copy_rows(const oriented_view& view, const uint8_t* rows, std::size_t stride, int first_row, int count) {
    if (view.step_x == 3) {
        for (int k = 0; k < count; ++k)
            std::memcpy(view.at(0, first_row + k), rows + k * stride, static_cast<std::size_t>(view.width) * 3);
        return;
    }
    if (view.step_x == -3) {
        for (int k = 0; k < count; ++k) {
            const uint8_t* source = rows + k * stride;
            uint8_t* target = view.at(0, first_row + k);
            for (int x = 0; x < view.width; ++x, source += 3, target -= 3)
                std::memcpy(target, source, 3);
        }
        return;
    }
    // Source rows become columns: walk the source by columns so that each
    // written run of `count` pixels is contiguous in the image.
    for (int x = 0; x < view.width; ++x) {
        const uint8_t* source = rows + x * 3;
        uint8_t* target = view.at(x, first_row);
        for (int k = 0; k < count; ++k, source += stride, target += view.step_y)
            std::memcpy(target, source, 3);
    }
}

} // namespace gil
} // namespace image
} // namespace kestrel
