#include "feedback/NetworkJobs.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>

namespace Feedback {

namespace {
// A download ends at once when cancelled: only a job that ignores its
// switch makes the destructor wait this long.
const std::chrono::milliseconds destructionGrace(250);
} // namespace

// Shared by the queue and its threads; every field under the mutex.
struct NetworkJobs::Line {
    Line(int running, int waiting) : maxRunning(running), maxWaiting(std::size_t(waiting)) {}

    // A thread's life: the jobs in line, one after another, until none is
    // left; then it leaves.
    static void work(const std::shared_ptr<Line>& line)
    {
        std::unique_lock<std::mutex> lock(line->mutex);
        while (!line->waiting.empty()) {
            Job job = std::move(line->waiting.front());
            line->waiting.pop_front();
            ++line->runningJobs;
            lock.unlock();
            try {
                job(line->cancel);
            } catch (...) {
                // A job reports nothing; one that throws ends only itself.
            }
            job = nullptr;
            lock.lock();
            --line->runningJobs;
        }
        --line->threads;
        line->threadLeft.notify_all();
    }

    // Moves every waiting job into `dropped`, to be destroyed unlocked.
    void dropWaiting(std::deque<Job>& dropped)
    {
        for (Job& job : waiting)
            dropped.push_back(std::move(job));
        waiting.clear();
    }

    const int maxRunning;
    const std::size_t maxWaiting;
    const urdl::cancellation cancel;

    std::mutex mutex;
    std::condition_variable threadLeft;
    std::deque<Job> waiting;
    int runningJobs = 0;
    int threads = 0; // started and not yet left
    bool abandoned = false;
};

NetworkJobs::NetworkJobs(int running, int waiting) : line_(std::make_shared<Line>(running, waiting)) {}

NetworkJobs::~NetworkJobs()
{
    abandon();
    std::unique_lock<std::mutex> lock(line_->mutex);
    line_->threadLeft.wait_for(lock, destructionGrace, [this] { return line_->threads == 0; });
}

void NetworkJobs::post(Job job)
{
    // Declared first, so that what is dropped is destroyed after the lock
    // is released: a job's destruction may run its poster's code.
    std::deque<Job> dropped;
    {
        std::lock_guard<std::mutex> lock(line_->mutex);
        if (line_->abandoned) {
            dropped.push_back(std::move(job));
            return;
        }
        // The line holds what the free threads are about to take, and
        // maxWaiting more.
        const std::size_t capacity = line_->maxWaiting + std::size_t(line_->maxRunning - line_->runningJobs);
        if (line_->waiting.size() >= capacity) {
            dropped.push_back(std::move(line_->waiting.front()));
            line_->waiting.pop_front();
        }
        line_->waiting.push_back(std::move(job));
        if (line_->threads >= line_->maxRunning)
            return;
        ++line_->threads;
    }
    try {
        std::thread([line = line_] { Line::work(line); }).detach();
    } catch (...) {
        // No thread now; one already running takes the job, else nobody
        // would: the line is dropped, so no job waits for ever.
        std::lock_guard<std::mutex> lock(line_->mutex);
        --line_->threads;
        if (line_->threads == 0)
            line_->dropWaiting(dropped);
        line_->threadLeft.notify_all();
    }
}

void NetworkJobs::abandon()
{
    std::deque<Job> dropped;
    {
        std::lock_guard<std::mutex> lock(line_->mutex);
        line_->abandoned = true;
        line_->dropWaiting(dropped);
    }
    line_->cancel.cancel();
}

int NetworkJobs::pending() const
{
    std::lock_guard<std::mutex> lock(line_->mutex);
    return line_->runningJobs + int(line_->waiting.size());
}

} // namespace Feedback
