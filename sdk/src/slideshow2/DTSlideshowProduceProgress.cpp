#include "slideshow2/DTSlideshowProduceProgress.h"

#include <algorithm>
#include <chrono>

namespace kestrel {
namespace slideshow2 {

namespace {

const double show_time_step = 500.0;  // ms of show
const double clock_time_step = 0.5;   // s of wall clock

double steady_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

progress_pacer::progress_pacer() : progress_pacer(&steady_seconds) {}

progress_pacer::progress_pacer(const clock_function& clock)
    : clock_(clock), last_clock_(clock()) {}

bool progress_pacer::due(double position) {
    const bool is_due = position == 0.0 || position - last_position_ >= show_time_step ||
                        clock_() - last_clock_ >= clock_time_step;
    if (is_due)
        last_position_ = position;
    return is_due;
}

void progress_pacer::reported() { last_clock_ = clock_(); }

double progress_pacer::percentage(double position, double duration) {
    if (!(duration > 0.0))
        return 100.0;
    return std::min(position * 100.0 / duration, 100.0);
}

} // namespace slideshow2
} // namespace kestrel
