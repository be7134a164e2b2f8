#pragma once
// One stop's time for a disk that does not answer, counted from the stop's
// start and shared by all it waits for there (a production's last writes,
// then the unfinished video's removal): past it, what has not answered
// goes on by itself and is named as left behind. Only the waiting is cut
// short: a step begun at or after the deadline still has a moment, so a
// disk that answers at once is never given up.
//
// A value; any thread.

#include <algorithm>
#include <chrono>

namespace kestrel {

// The whole of a stop's waiting on files, a moment after it included,
// stays about 0.3 s.
inline constexpr std::chrono::milliseconds stop_budget(200);
// What a step past the deadline still has to answer.
inline constexpr std::chrono::milliseconds stop_moment(50);

class stop_deadline {
public:
    // The stop starts now.
    stop_deadline() : at_(std::chrono::steady_clock::now() + stop_budget) {}

    std::chrono::steady_clock::time_point at() const { return at_; }
    // How long a step begun now may wait: what is left, a moment at least.
    std::chrono::steady_clock::duration left() const {
        return std::max<std::chrono::steady_clock::duration>(at_ - std::chrono::steady_clock::now(), stop_moment);
    }

private:
    std::chrono::steady_clock::time_point at_;
};

} // namespace kestrel
