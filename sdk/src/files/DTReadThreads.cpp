#include "files/DTReadThreads.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
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
    std::mutex places_mutex;
    std::map<file_system_id, int> left_waiting; // none listed with 0

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

bool read_threads::full(file_system_id file_system) const {
    std::lock_guard<std::mutex> lock(shared_->places_mutex);
    const auto found = shared_->left_waiting.find(file_system);
    return found != shared_->left_waiting.end() && found->second >= max_left_waiting;
}

void read_threads::take_place(file_system_id file_system) {
    std::lock_guard<std::mutex> lock(shared_->places_mutex);
    ++shared_->left_waiting[file_system];
}

void read_threads::give_back_place(file_system_id file_system) {
    std::lock_guard<std::mutex> lock(shared_->places_mutex);
    const auto found = shared_->left_waiting.find(file_system);
    if (found != shared_->left_waiting.end() && --found->second <= 0)
        shared_->left_waiting.erase(found);
}

int read_threads::left_waiting() const {
    std::lock_guard<std::mutex> lock(shared_->places_mutex);
    int all = 0;
    for (const auto& each : shared_->left_waiting)
        all += each.second;
    return all;
}

void read_threads::start_detached_thread(std::function<void()> body) { std::thread(std::move(body)).detach(); }

} // namespace kestrel
