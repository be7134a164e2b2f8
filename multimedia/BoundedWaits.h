#pragma once
// Waits on threads that a call that never returns may hold: taking a lock
// such a thread may keep, and ending a worker that may be in such a call.
// Any thread.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace Multimedia {

// Tries the lock until `bound` has passed. (Polled: the thread sanitizer
// does not see a timed mutex's timed lock.)
inline bool lockWithin(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds bound)
{
    const auto giveUp = std::chrono::steady_clock::now() + bound;
    while (!lock.try_lock()) {
        if (std::chrono::steady_clock::now() >= giveUp)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A worker told to end: joined when it says so (`done`, read under `lock`,
// which the worker signals through `finished`) within `bound`, else left
// to end on its own, owning only what it shares. Returns whether it was
// joined; `lock` is let go.
template <class Done>
bool joinWithin(std::thread& worker, std::unique_lock<std::mutex>& lock, std::condition_variable& finished,
                std::chrono::milliseconds bound, Done done)
{
    const bool ended = finished.wait_for(lock, bound, done);
    lock.unlock();
    if (ended)
        worker.join();
    else
        worker.detach();
    return ended;
}

} // namespace Multimedia
