#pragma once
// The maker's watch: a thread of its own that turns a stop (a flag a
// signal handler raises, and which cannot wake a waiting thread) into the
// maker's read_interruption, so that every wait on a file made within its
// scope gives up (files/DTReadInterruption.h); and that names each wait on a file
// that lasts (files/DTLongWaits.h) once, when it is first seen.
//
// Looks every 10 ms for the stop and every 100 ms for long waits. `name`
// runs on the watch's thread. end() (or the destructor) joins the thread:
// nothing is named after it returns. The constructor throws
// std::system_error when no thread can be started.

#include "files/DTLongWaits.h"
#include "files/DTReadInterruption.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace make_show {

class maker_watch {
public:
    maker_watch(const std::atomic<bool>& stop_asked, kestrel::read_interruption_ptr interruption,
                std::function<void(const kestrel::long_wait&)> name);
    ~maker_watch();
    maker_watch(const maker_watch&) = delete;
    maker_watch& operator=(const maker_watch&) = delete;

    void end();

private:
    void watch();

    const std::atomic<bool>& stop_asked_;
    const kestrel::read_interruption_ptr interruption_;
    const std::function<void(const kestrel::long_wait&)> name_;
    std::mutex mutex_;
    std::condition_variable ending_;
    bool end_ = false;
    std::thread thread_;
};

} // namespace make_show
