#pragma once
// How a photo is shown: its file and how it is turned.

#include <string>

namespace kestrel {
namespace image {

struct image_transform {
    // Clockwise turns: 0 none, 1 a quarter, 2 a half, 4 three quarters
    // (3 is read as three quarters too); any other code turns nothing.
    int rotate = 0;
    // Whether the photo's EXIF orientation is applied when it is decoded.
    bool correct_orientantion = false;
};

struct photo_desc {
    std::string url; // UTF-8 path
    image_transform transform;
};

} // namespace image
} // namespace kestrel
