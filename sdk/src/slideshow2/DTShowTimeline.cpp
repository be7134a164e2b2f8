// The timeline arithmetic of gil_compose_frame: which slides a moment of
// the show belongs to and how much each of them weighs.

#include "DTGilComposeFrame.h"

#include <cmath>

namespace kestrel {
namespace slideshow2 {

namespace {
// Slide indices stay far from the ends of int, so that index + 1 is safe.
const double index_limit = 1073741824.0; // 2^30
} // namespace

gil_compose_frame::split gil_compose_frame::split_time(double t, double d) {
    const double quotient = std::trunc(t / d);
    if (!(quotient > -index_limit && quotient < index_limit))
        return split{-1, NAN};
    const int index = static_cast<int>(quotient);
    return split{index, t - index * d};
}

double gil_compose_frame::fade_in_weight(double x, double h) {
    const double tenth = -0.1 * h; // negative: before the boundary
    if (x < tenth)
        return 0.0;
    if (x >= h)
        return 1.0;
    return 1.0 + (x - h) / (h - tenth);
}

double gil_compose_frame::fade_out_weight(double x, double h, bool last) {
    if (last) {
        if (x > 0.0)
            return 0.0;
        if (x <= -h)
            return 1.0;
        return -x / h;
    }
    const double tenth = -0.1 * h;
    if (x > -tenth)
        return 0.0;
    if (x <= -h)
        return 1.0;
    return 1.0 - (x + h) / (h - tenth);
}

gil_compose_frame::transition gil_compose_frame::transition_at(const durations& times, double t,
                                                              unsigned count) {
    const double d = times.slide;
    const double m = d > times.transition ? times.transition : d;
    const double h = m * 0.5;
    transition result;
    const split at = split_time(t, d);
    const double L = at.local_time;
    if (std::isnan(L) || std::isnan(h))
        return result;
    const int i = at.index;
    if (L <= h) {
        result.index_b = i;
        result.time_b = L;
        result.weight_b = 1.0;
        if (i > 0) {
            result.index_a = i - 1;
            result.time_a = d + L;
            result.weight_b = fade_in_weight(L, h);
            // Past the end the last slide stays faded to black; it does not
            // come back at 1/11 as a slide before a boundary would.
            result.weight_a = fade_out_weight(L, h, static_cast<long long>(i) == count);
        }
    } else if (L < d + (-0.5) * m) {
        result.index_b = i;
        result.time_b = L;
        result.weight_b = 1.0;
    } else {
        const double x = L - d;
        result.index_a = i;
        result.time_a = L;
        result.index_b = i + 1;
        result.time_b = x;
        result.weight_b = fade_in_weight(x, h);
        result.weight_a = fade_out_weight(x, h, static_cast<long long>(i) + 1 == count);
    }
    return result;
}

} // namespace slideshow2
} // namespace kestrel
