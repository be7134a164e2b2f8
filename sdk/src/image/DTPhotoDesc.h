#pragma once
// How a photo is described and turned: its file and its transform. The
// rotation code counts clockwise turns: 0 none, 1 a quarter, 2 a half and
// 4 three quarters; 3 is read as three quarters too but never written.

#include <string>

namespace kestrel {
namespace image {

enum rotation_code { rotate_none = 0, rotate_90 = 1, rotate_180 = 2, rotate_270_read = 3, rotate_270 = 4 };

struct image_transform {
    int rotate = rotate_none;
    // Apply the EXIF orientation of the file when it is decoded.
    bool correct_orientantion = false;
};

struct photo_desc {
    std::string url; // UTF-8 path of the photo file
    image_transform transform;
};

bool operator==(const image_transform& left, const image_transform& right);
bool operator!=(const image_transform& left, const image_transform& right);
bool operator==(const photo_desc& left, const photo_desc& right);
bool operator!=(const photo_desc& left, const photo_desc& right);

// 1, 2, 3, 4 give 1, 2, 3, 3 clockwise quarter turns; any other code 0.
int rotation_to_quarter_turns(int code);
// The code of n mod 4 quarter turns (0, 1, 2, 4); a negative n gives 0.
int quarter_turns_to_rotation(int turns);
// A quarter or three-quarter turn exchanges width and height.
bool rotation_swaps_sides(int code);

} // namespace image
} // namespace kestrel
