#pragma once
// The engine's 2 x 3 affine matrix: a point (x, y) goes to
// (a*x + c*y + e, b*x + d*y + f), with y pointing down.

namespace kestrel {
namespace slideshow2 {

struct affine_transform {
    double a, b, c, d, e, f;
};

} // namespace slideshow2
} // namespace kestrel
