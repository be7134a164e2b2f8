// The bounded queue of the online services' network work, with jobs that
// stand for downloads: they wait for the test's gate or for their switch.
// Every wait is bounded, so a queue without its bound fails in seconds.

#include "feedback/NetworkJobs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Feedback::NetworkJobs;
using Clock = std::chrono::steady_clock;

// What the jobs did, shared with them: which ran, which were destroyed
// (run or not), how many ran at once at most; and the gate they wait for.
class JobLog {
public:
    enum class Waits { forTheGate, forTheGateOnly };

    // Job `id`: waits until the gate opens or, unless told to ignore it,
    // its switch is cancelled; five seconds at most, so a lost job cannot
    // hang the test.
    NetworkJobs::Job job(int id, Waits waits = Waits::forTheGate)
    {
        const std::shared_ptr<State> state = state_;
        // Destroyed with the last copy of the job, run or not.
        const std::shared_ptr<void> token(nullptr, [state, id](void*) { state->record(state->destroyed, id); });
        return [state, token, id, waits](const urdl::cancellation& cancel) {
            std::unique_lock<std::mutex> lock(state->mutex);
            state->ran.push_back(id);
            state->atMost = std::max(state->atMost, ++state->running);
            state->changed.notify_all();
            const Clock::time_point giveUp = Clock::now() + std::chrono::seconds(5);
            while (!state->open && Clock::now() < giveUp) {
                lock.unlock();
                const bool cancelled = cancel.cancelled();
                lock.lock();
                if (cancelled && waits == Waits::forTheGate)
                    break;
                state->changed.wait_for(lock, std::chrono::milliseconds(5));
            }
            --state->running;
            ++state->ended;
            state->changed.notify_all();
        };
    }

    void open()
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->open = true;
        state_->changed.notify_all();
    }
    // Waits up to `bound` for the condition on the log.
    bool waitUntil(const std::function<bool(const JobLog&)>& condition,
                   std::chrono::milliseconds bound = std::chrono::seconds(5)) const
    {
        std::unique_lock<std::mutex> lock(state_->mutex);
        return state_->changed.wait_for(lock, bound, [&] { return condition(*this); });
    }
    // Read under the lock, in waitUntil, or once the jobs are done.
    std::vector<int> ran() const { return state_->ran; }
    std::vector<int> destroyed() const { return state_->destroyed; }
    int ended() const { return state_->ended; }
    int atMost() const { return state_->atMost; }

    // In order of their ids: the jobs that ran, and those destroyed unrun.
    std::vector<int> ranNow() const { return sorted(locked([this] { return state_->ran; })); }
    std::vector<int> droppedNow() const
    {
        return locked([this] {
            std::vector<int> dropped;
            for (int id : sorted(state_->destroyed))
                if (std::find(state_->ran.begin(), state_->ran.end(), id) == state_->ran.end())
                    dropped.push_back(id);
            return dropped;
        });
    }

private:
    struct State {
        void record(std::vector<int>& list, int id)
        {
            std::lock_guard<std::mutex> lock(mutex);
            list.push_back(id);
            changed.notify_all();
        }
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false;
        std::vector<int> ran;
        std::vector<int> destroyed;
        int running = 0;
        int atMost = 0;
        int ended = 0;
    };
    static std::vector<int> sorted(std::vector<int> ids)
    {
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    std::vector<int> locked(const std::function<std::vector<int>()>& read) const
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        return read();
    }

    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// Two run at once and three wait: of five more posted while two run, the
// two oldest are dropped unrun; the rest run in order, never more than two
// at a time.
TEST(NetworkJobsThreads, RunsTwoAtOnceAndDropsTheOldestWaitingPastTheLine)
{
    JobLog log;
    NetworkJobs jobs(2, 3);
    jobs.post(log.job(0));
    jobs.post(log.job(1));
    ASSERT_TRUE(log.waitUntil([](const JobLog& l) { return l.ran().size() == 2; }));
    for (int id = 2; id <= 6; ++id)
        jobs.post(log.job(id));
    EXPECT_EQ(std::vector<int>({2, 3}), log.droppedNow()) << "the oldest waiting jobs are dropped at once";
    EXPECT_EQ(5, jobs.pending());
    EXPECT_FALSE(log.waitUntil([](const JobLog& l) { return l.ran().size() > 2; }, std::chrono::milliseconds(200)))
        << "a third job ran beside two";

    log.open();
    ASSERT_TRUE(log.waitUntil([](const JobLog& l) { return l.ended() == 5; })) << "not every job in line ran";
    EXPECT_EQ(std::vector<int>({0, 1, 4, 5, 6}), log.ranNow());
    EXPECT_LE(log.atMost(), 2) << "ran at once";
    const Clock::time_point giveUp = Clock::now() + std::chrono::seconds(5);
    while (jobs.pending() > 0 && Clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(0, jobs.pending());
}

// At the quit: the running jobs are cancelled, the waiting ones and every
// later one dropped unrun, and nothing waits for a job that ignores its
// switch, neither abandon() nor the destructor beyond its short grace; the
// stuck job ends later on its own.
TEST(NetworkJobsThreads, AbandonCancelsRunningJobsDropsTheRestAndWaitsForNone)
{
    JobLog log;
    auto jobs = std::make_unique<NetworkJobs>(2, 3);
    jobs->post(log.job(0));
    jobs->post(log.job(1, JobLog::Waits::forTheGateOnly));
    ASSERT_TRUE(log.waitUntil([](const JobLog& l) { return l.ran().size() == 2; }));
    jobs->post(log.job(2));

    const Clock::time_point start = Clock::now();
    jobs->abandon();
    jobs->post(log.job(3));
    EXPECT_EQ(std::vector<int>({2, 3}), log.droppedNow()) << "a waiting or late job was kept";
    EXPECT_TRUE(log.waitUntil([](const JobLog& l) { return l.ended() == 1; })) << "a cancelled job ran on";
    jobs.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1)) << "the quit waited for the stuck job";
    EXPECT_EQ(std::vector<int>({0, 1}), log.ranNow());

    log.open();
    EXPECT_TRUE(log.waitUntil([](const JobLog& l) { return l.ended() == 2 && l.destroyed().size() == 4; }))
        << "the stuck job did not end on its own";
}

} // namespace
