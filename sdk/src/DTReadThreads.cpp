#include "DTReadThreads.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace kestrel {

namespace {

// How long a thread without a job waits for the next before it ends.
const std::chrono::seconds idle_wait(5);

} // namespace

struct read_threads::shared {
    // A thread waiting for a job; lives on that thread's stack while listed.
    struct waiting_thread {
        std::condition_variable woken;
        std::function<void()> job;
    };

    explicit shared(thread_starter start) : start(std::move(start)) {}

    const thread_starter start;
    std::mutex mutex;
    std::vector<waiting_thread*> waiting; // the last to finish is woken first
    std::atomic<int> left_waiting{0};

    // The body of every thread of the set: jobs until none comes in time.
    static void serve(const std::shared_ptr<shared>& self, std::function<void()> job) {
        for (;;) {
            job();
            job = nullptr;
            waiting_thread me;
            std::unique_lock<std::mutex> lock(self->mutex);
            self->waiting.push_back(&me);
            if (!me.woken.wait_for(lock, idle_wait, [&me] { return static_cast<bool>(me.job); })) {
                self->waiting.erase(std::find(self->waiting.begin(), self->waiting.end(), &me));
                return;
            }
            job = std::move(me.job);
        }
    }
};

read_threads& read_threads::process() {
    // Never destroyed: its threads may still run while the process ends.
    static read_threads* const threads = new read_threads();
    return *threads;
}

read_threads::read_threads(thread_starter start) : shared_(std::make_shared<shared>(std::move(start))) {}

bool read_threads::run(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        if (!shared_->waiting.empty()) {
            shared::waiting_thread* thread = shared_->waiting.back();
            shared_->waiting.pop_back();
            thread->job = std::move(job);
            thread->woken.notify_one();
            return true;
        }
    }
    try {
        const std::shared_ptr<shared> set = shared_;
        shared_->start([set, job = std::move(job)] { shared::serve(set, job); });
    } catch (...) {
        return false;
    }
    return true;
}

bool read_threads::full() const { return shared_->left_waiting.load() >= max_left_waiting; }

void read_threads::take_place() { shared_->left_waiting.fetch_add(1); }

void read_threads::give_back_place() { shared_->left_waiting.fetch_sub(1); }

int read_threads::left_waiting() const { return shared_->left_waiting.load(); }

void read_threads::start_detached_thread(std::function<void()> body) { std::thread(std::move(body)).detach(); }

} // namespace kestrel
