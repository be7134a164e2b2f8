#include "DTPhotoDesc.h"

namespace kestrel {
namespace image {

bool operator==(const image_transform& left, const image_transform& right) {
    return left.rotate == right.rotate && left.correct_orientantion == right.correct_orientantion;
}

bool operator!=(const image_transform& left, const image_transform& right) { return !(left == right); }

bool operator==(const photo_desc& left, const photo_desc& right) {
    return left.url == right.url && left.transform == right.transform;
}

bool operator!=(const photo_desc& left, const photo_desc& right) { return !(left == right); }

int rotation_to_quarter_turns(int code) {
    switch (code) {
    case rotate_90:
        return 1;
    case rotate_180:
        return 2;
    case rotate_270_read:
    case rotate_270:
        return 3;
    default:
        return 0;
    }
}

int quarter_turns_to_rotation(int turns) {
    static const int codes[] = {rotate_none, rotate_90, rotate_180, rotate_270};
    return turns < 0 ? rotate_none : codes[turns % 4];
}

bool rotation_swaps_sides(int code) { return rotation_to_quarter_turns(code) % 2 == 1; }

} // namespace image
} // namespace kestrel
