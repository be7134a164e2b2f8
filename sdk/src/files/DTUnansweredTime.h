#pragma once
// How long a call on a file has waited for its file system: the time since
// the call began on its thread, less what that thread spent running or
// waiting for a processor (the kernel's schedstat of the thread). A call
// on a busy machine, or one that waited behind the program's own threads
// before it began, is not taken for one its file system does not answer.
// Where the kernel keeps no schedstat, the time since the call began.
//
// Threads: begin() on the call's thread; unanswered() from any thread,
// under whatever guards the clock.

#include <sys/types.h>

#include <chrono>

namespace kestrel {

// Nanoseconds a thread of this process has run plus those it waited to
// run; -1 when the kernel does not tell (or the thread has ended). Any
// thread; procfs answers at once, whatever else hangs.
long long scheduled_ns(pid_t thread);

class unanswered_clock {
public:
    // On the call's thread, as it begins to ask its file system.
    void begin();
    bool begun() const { return thread_ != 0; }
    // Zero before begin().
    std::chrono::steady_clock::duration unanswered() const;
    // unanswered() >= `wait`, asking the kernel only once as much time has
    // passed at all.
    bool unanswered_for(std::chrono::steady_clock::duration wait) const;

private:
    pid_t thread_ = 0;
    std::chrono::steady_clock::time_point began_;
    long long scheduled_at_begin_ns_ = -1; // -1: no schedstat
};

} // namespace kestrel
