#pragma once
// Taking a lock that a thread held in a call that never returns may keep:
// tries until a bound has passed. (Polled: the thread sanitizer does not see
// a timed mutex's timed lock.) Any thread.

#include <chrono>
#include <mutex>
#include <thread>

namespace Multimedia {

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

} // namespace Multimedia
