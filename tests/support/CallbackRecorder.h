#pragma once
// Records the calls of a callback that may come from any thread, with the
// calling thread, and waits for them. Create it with make_shared: the
// receivers hold the recorder, so a detached thread may still drop its copy
// after the test has finished with it.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <vector>

namespace kestrel {
namespace test {

template <class... Args>
class CallbackRecorder : public std::enable_shared_from_this<CallbackRecorder<Args...>> {
public:
    typedef std::tuple<typename std::decay<Args>::type...> call;

    std::function<void(Args...)> receiver() {
        auto self = this->shared_from_this();
        return [self](Args... args) { self->record(call(args...)); };
    }

    // Records, then throws, as a receiver that fails.
    std::function<void(Args...)> throwing_receiver() {
        auto self = this->shared_from_this();
        return [self](Args... args) {
            self->record(call(args...));
            throw std::runtime_error("receiver failed");
        };
    }

    // Waits for count calls as long as they keep coming (20 s at most
    // without one: a busy machine is slow, a call that never comes is
    // missed within seconds), then a little longer for any surplus call.
    std::vector<call> wait_for(std::size_t count, std::chrono::milliseconds grace = std::chrono::milliseconds(100)) {
        std::unique_lock<std::mutex> lock(mutex_);
        for (std::size_t seen = calls_.size(); calls_.size() < count; seen = calls_.size())
            if (!arrived_.wait_for(lock, std::chrono::seconds(20),
                                   [&] { return calls_.size() >= count || calls_.size() > seen; }))
                break;
        arrived_.wait_for(lock, grace, [&] { return calls_.size() > count; });
        return calls_;
    }

    std::vector<call> calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

    std::vector<std::thread::id> threads() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return threads_;
    }

private:
    void record(call c) {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(std::move(c));
        threads_.push_back(std::this_thread::get_id());
        arrived_.notify_all();
    }

    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<call> calls_;
    std::vector<std::thread::id> threads_;
};

} // namespace test
} // namespace kestrel
