#include "files/DTReadThreads.h"

#include "files/DTUnansweredTime.h"

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
    struct left_call {
        file_system_id file_system;
        unanswered_clock clock;
    };
    std::map<unsigned long long, left_call> left_calls; // under places_mutex
    unsigned long long next_left_call = 0;

    // Under places_mutex: the calls left to themselves on `file_system`
    // (on all with `any`) that its file system has kept waiting.
    int unanswered_left_calls(file_system_id file_system, bool any) const {
        int count = 0;
        for (const auto& each : left_calls)
            if ((any || each.second.file_system == file_system) && each.second.clock.unanswered_for(unanswered_after))
                ++count;
        return count;
    }

    // Under places_mutex.
    bool full(file_system_id file_system) const {
        const auto found = left_waiting.find(file_system);
        const int places = found != left_waiting.end() ? found->second : 0;
        return places >= max_left_waiting ||
               (!left_calls.empty() && places + unanswered_left_calls(file_system, false) >= max_left_waiting);
    }

    // Under places_mutex.
    void give_back_place(file_system_id file_system) {
        const auto found = left_waiting.find(file_system);
        if (found != left_waiting.end() && --found->second <= 0)
            left_waiting.erase(found);
    }

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
    return shared_->full(file_system);
}

void read_threads::take_place(file_system_id file_system) {
    std::lock_guard<std::mutex> lock(shared_->places_mutex);
    ++shared_->left_waiting[file_system];
}

void read_threads::give_back_place(file_system_id file_system) {
    std::lock_guard<std::mutex> lock(shared_->places_mutex);
    shared_->give_back_place(file_system);
}

bool read_threads::move_place(file_system_id from, file_system_id to) {
    std::lock_guard<std::mutex> lock(shared_->places_mutex);
    shared_->give_back_place(from);
    if (shared_->full(to))
        return false;
    ++shared_->left_waiting[to];
    return true;
}

unsigned long long read_threads::left_call_began(file_system_id file_system) {
    shared::left_call call{file_system, unanswered_clock()};
    call.clock.begin();
    std::lock_guard<std::mutex> lock(shared_->places_mutex);
    const unsigned long long number = ++shared_->next_left_call;
    shared_->left_calls.emplace(number, call);
    return number;
}

void read_threads::left_call_ended(unsigned long long call) {
    std::lock_guard<std::mutex> lock(shared_->places_mutex);
    shared_->left_calls.erase(call);
}

int read_threads::left_waiting() const {
    std::lock_guard<std::mutex> lock(shared_->places_mutex);
    int all = shared_->unanswered_left_calls(0, true);
    for (const auto& each : shared_->left_waiting)
        all += each.second;
    return all;
}

void read_threads::start_detached_thread(std::function<void()> body) { std::thread(std::move(body)).detach(); }

} // namespace kestrel
