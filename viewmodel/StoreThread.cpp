#include "viewmodel/StoreThread.h"

namespace ViewModel {

StoreThread::~StoreThread() { finish(); }

void StoreThread::finish()
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

void StoreThread::stopLooking()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        look_ = nullptr;
    }
    changed_.notify_one();
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
        const bool put = waiting_ != nullptr;
        if (!put && !look_)
            continue; // looks stopped while it waited
        const Store store = put ? std::move(waiting_) : look_;
        waiting_ = nullptr;
        // In flight without a gap: the store's own mark stands before the
        // waiting one goes. A look counts only as it writes.
        std::optional<StoreInFlight> underWay;
        if (put)
            underWay.emplace();
        waitingInFlight_.reset();
        lock.unlock();
        store();
        lock.lock();
    }
}

} // namespace ViewModel
