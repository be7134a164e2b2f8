#pragma once
// The engine's 2 x 3 affine matrix. A point (x, y) goes to
// (a*x + c*y + e, b*x + d*y + f); y points down, units are pixels.
// The Ken Burns motions produce it, the renderer blends and inverts it,
// the photo scaler builds its scale-and-turn matrix in the same form.

namespace kestrel {
namespace slideshow2 {

struct affine_transform {
    double a;
    double b;
    double c;
    double d;
    double e;
    double f;
};

} // namespace slideshow2
} // namespace kestrel
