#pragma once
// When the producer reports progress, and with what value. A report is due
// after a picture when the video position is 0, has moved 500 ms of show
// time or more since the last report, or when 0.5 s have passed on a
// monotonic clock since the last report went out. Positions in ms. Used by
// the producer's worker alone.

#include <boost/function.hpp>

namespace kestrel {
namespace slideshow2 {

class progress_pacer {
public:
    // Seconds on a monotonic clock.
    typedef boost::function<double()> clock_function;

    // The clock starts now; by default the process's steady clock.
    progress_pacer();
    explicit progress_pacer(const clock_function& clock);

    // The decision for the video position after a picture; a due report
    // moves the last reported position here.
    bool due(double position);
    // A report went out now: the clock interval starts again.
    void reported();

    // position x 100 / duration, at most 100; 100 for a show of no length.
    static double percentage(double position, double duration);

private:
    clock_function clock_;
    double last_clock_;
    double last_position_ = 0.0;
};

} // namespace slideshow2
} // namespace kestrel
