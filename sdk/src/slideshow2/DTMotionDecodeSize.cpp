#include "DTMotionDecodeSize.h"

#include "DTKenBurnsRegistry.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace kestrel {
namespace slideshow2 {

namespace {

// How many frame pixels one photo pixel covers, at the larger of its two
// axes, at progress p of the line from the start to the end transform.
double scale_at(const affine_transform& start, const affine_transform& end, double p) {
    const double a = start.a + (end.a - start.a) * p, b = start.b + (end.b - start.b) * p;
    const double c = start.c + (end.c - start.c) * p, d = start.d + (end.d - start.d) * p;
    return std::max(std::hypot(a, b), std::hypot(c, d));
}

} // namespace

unsigned motion_decode_side(int frame_width, int frame_height, unsigned photo_width, unsigned photo_height,
                            const std::string& effect, double progress_margin, unsigned long long max_pixels) {
    const unsigned longer = std::max(photo_width, photo_height);
    const unsigned shorter = std::min(photo_width, photo_height);
    if (frame_width <= 0 || frame_height <= 0 || shorter == 0 || photo_width > INT_MAX || photo_height > INT_MAX)
        return 0;
    const ken_burns_ptr motion = create_ken_burns(frame_width, frame_height, static_cast<int>(photo_width),
                                                  static_cast<int>(photo_height), effect);
    const affine_transform start = motion->start(), end = motion->end();
    // The scale is linear in the progress: its largest value lies at an end.
    const double margin = std::isfinite(progress_margin) && progress_margin > 0 ? progress_margin : 0.0;
    const double largest = std::max(scale_at(start, end, -margin), scale_at(start, end, 1.0 + margin));
    if (!(largest > 0))
        return 0;
    unsigned long long side =
        static_cast<unsigned long long>(std::max(1.0, std::ceil(std::min(1.0, largest) * longer)));
    // The other side follows the photo's shape (as the scaler truncates it);
    // both together stay within the limit.
    side = std::min<unsigned long long>(
        side, static_cast<unsigned long long>(std::sqrt(static_cast<double>(max_pixels) * longer / shorter)));
    while (side > 1 && side * (shorter * side / longer) > max_pixels)
        --side;
    return static_cast<unsigned>(side);
}

} // namespace slideshow2
} // namespace kestrel
