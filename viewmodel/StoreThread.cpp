#include "viewmodel/StoreThread.h"

namespace ViewModel {

StoreThread::~StoreThread()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    changed_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void StoreThread::put(Store store)
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        waiting_ = std::move(store);
        if (!waitingInFlight_)
            waitingInFlight_.emplace();
        if (!thread_.joinable())
            thread_ = std::thread(&StoreThread::run, this);
    }
    changed_.notify_one();
}

void StoreThread::lookEvery(std::chrono::milliseconds every, Store look)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    lookInterval_ = every;
    look_ = std::move(look);
    if (!thread_.joinable())
        thread_ = std::thread(&StoreThread::run, this);
}

void StoreThread::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        const auto due = [this] { return waiting_ || ending_; };
        if (look_)
            changed_.wait_for(lock, lookInterval_, due);
        else
            changed_.wait(lock, due);
        if (ending_ && !waiting_)
            return;
        const Store store = waiting_ ? std::move(waiting_) : look_;
        waiting_ = nullptr;
        // In flight without a gap: the store's own mark stands before the
        // waiting one goes.
        const StoreInFlight underWay;
        waitingInFlight_.reset();
        lock.unlock();
        store();
        lock.lock();
    }
}

} // namespace ViewModel
