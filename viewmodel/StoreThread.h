#pragma once
// A thread of its own that writes one kind of the user's data (the
// storyboard, the settings' files), so that a disk or a share that is slow
// or never answers holds neither the window nor a thread of Qt's pool.
// Only the newest content of a kind matters: a store put while an earlier
// one still waits to start takes its place; a store under way finishes
// before the next starts. From its put until it is written, a store counts
// as in flight (StoresInFlight.h), so that the program's end waits for it.
//
// A look for changes (lookEvery) runs whenever its interval passed with
// nothing put; it is in flight only while it marks itself so (a look that
// finds nothing to write keeps the program's end from nothing).
//
// The thread starts with the first put or look. The object's end waits
// for what was put to be written, then joins the thread: a store on a
// share that never answers holds it until the end's backstop ends the
// process. Any thread may put; a store must not put into its own thread.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "viewmodel/StoresInFlight.h"

namespace ViewModel {

class StoreThread {
public:
    using Store = std::function<void()>;

    StoreThread() = default;
    ~StoreThread();
    StoreThread(const StoreThread&) = delete;
    StoreThread& operator=(const StoreThread&) = delete;

    void put(Store store);
    // From now on, `look` runs whenever `every` passed without a store.
    // Before the first put.
    void lookEvery(std::chrono::milliseconds every, Store look);
    // No more looks; what is put is still written.
    void stopLooking();
    // Writes what was put, then ends the thread: nothing is written after.
    void finish();

private:
    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    Store waiting_;
    Store look_;
    std::chrono::milliseconds lookInterval_{0};
    std::optional<StoreInFlight> waitingInFlight_;
    bool ending_ = false;
    std::thread thread_;
};

} // namespace ViewModel
