#pragma once
// Stopping waits on files that may never answer. A read_interruption is
// switched on by whoever stops the work (a producer's stop, a photo cache
// or a photo manager that goes, the program's end); every wait on a file
// made within a read_interruption_scope of it then gives up with
// read_interrupted (files/DTAbandonableRead.h, files/DTAbandonableCall.h).
//
// Threads: an interruption may be switched from any thread; a scope
// belongs to the thread that made it.

#include "base/DTErrors.h"

#include <boost/noncopyable.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace kestrel {

class read_interruption {
public:
    // On: the waits of its scopes give up, also one that is switched off
    // again before it looks, and so does every later open and read; off:
    // they wait again.
    void set(bool on) {
        if (on)
            ++times_on_;
        on_ = on;
        if (on)
            wake_waits();
    }
    bool on() const { return on_; }
    // How often it was switched on: a wait gives up when this changes.
    unsigned long long times_on() const { return times_on_; }
    // A stop's deadline (files/DTStopDeadline.h), softer than on: from `at`
    // the waits of its scopes give up, each once it has waited a moment,
    // while later calls are still made. The last one given counts.
    void give_up_at(std::chrono::steady_clock::time_point at) { give_up_at_ = at.time_since_epoch().count(); }
    // The deadline given; time_point::max() while none is.
    std::chrono::steady_clock::time_point give_up_time() const {
        return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(give_up_at_.load()));
    }

    // While a wait on a file watches this interruption, switching it on
    // wakes `wake` at once rather than at the wait's next look: the stop of
    // a reader a window waits for (a show's end) is not held by the look.
    void add_wait(std::condition_variable& wake) const;
    void remove_wait(std::condition_variable& wake) const;

private:
    void wake_waits();

    std::atomic<bool> on_{false};
    std::atomic<unsigned long long> times_on_{0};
    std::atomic<std::chrono::steady_clock::rep> give_up_at_{
        std::chrono::steady_clock::time_point::max().time_since_epoch().count()};
    // Who to wake, not what the interruption says: a watcher adds itself.
    mutable std::mutex waits_mutex_;
    mutable std::vector<std::condition_variable*> waits_;
};

typedef std::shared_ptr<read_interruption> read_interruption_ptr;

// While it lives, the files this thread opens watch `interruption` (none
// when null), and each wait on a file within it gives up once `patience`
// has passed (zero: never): "does not answer" (ETIMEDOUT, see
// files/DTAbandonableCall.h). Scopes nest, the inner one counts.
class read_interruption_scope : private boost::noncopyable {
public:
    explicit read_interruption_scope(
        read_interruption_ptr interruption,
        std::chrono::steady_clock::duration patience = std::chrono::steady_clock::duration::zero());
    ~read_interruption_scope();

private:
    read_interruption_ptr outer_;
    std::chrono::steady_clock::duration outer_patience_;
};

// The interruption the calling thread's files watch; null outside any scope.
read_interruption_ptr current_read_interruption();
// The patience of the calling thread's scope; zero outside any.
std::chrono::steady_clock::duration current_read_patience();

// A wait given up because its interruption was switched on.
class read_interrupted : public errors::failure {
public:
    read_interrupted() : errors::dt_error("reading was stopped") {}
};

} // namespace kestrel
