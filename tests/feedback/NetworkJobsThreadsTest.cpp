// The bounded queue of the online services' network work, with jobs that
// stand for downloads: each waits for the test's gate or, unless it ignores
// it, for its switch. Every wait is bounded, so a queue without its bound
// fails in seconds.

#include "feedback/NetworkJobs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>

namespace {

using Feedback::NetworkJobs;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// What the jobs did, shared with them; every field under the mutex.
struct Log {
    bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds bound = 5s)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, bound, condition);
    }
    void update(const std::function<void()>& change)
    {
        std::lock_guard<std::mutex> lock(mutex);
        change();
        changed.notify_all();
    }
    std::set<int> read(const std::function<std::set<int>()>& reader)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return reader();
    }
    // Destroyed without running.
    std::set<int> dropped()
    {
        return read([this] {
            std::set<int> unrun;
            for (int id : destroyed)
                if (!ran.count(id))
                    unrun.insert(id);
            return unrun;
        });
    }

    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    std::set<int> ran;
    std::set<int> destroyed; // with the job's last copy, run or not
    int running = 0;
    int atMost = 0;
    int ended = 0;
};

// Job `id`: waits, five seconds at most, until the gate opens or, if it
// heeds it, its switch is cancelled.
NetworkJobs::Job job(const std::shared_ptr<Log>& log, int id, bool heedsSwitch = true)
{
    const std::shared_ptr<void> token(nullptr, [log, id](void*) { log->update([&] { log->destroyed.insert(id); }); });
    return [log, token, id, heedsSwitch](const urdl::cancellation& cancel) {
        log->update([&] {
            log->ran.insert(id);
            log->atMost = std::max(log->atMost, ++log->running);
        });
        const Clock::time_point giveUp = Clock::now() + 5s;
        while (!(heedsSwitch && cancel.cancelled()) && Clock::now() < giveUp &&
               !log->waitFor([&] { return log->open; }, 5ms)) {
        }
        log->update([&] {
            --log->running;
            ++log->ended;
        });
    };
}

// Two run at once and three wait: of five more posted while two run, the
// two oldest are dropped unrun; the rest run, never more than two at once.
TEST(NetworkJobsThreads, RunsTwoAtOnceAndDropsTheOldestWaitingPastTheLine)
{
    const auto log = std::make_shared<Log>();
    NetworkJobs jobs(2, 3);
    jobs.post(job(log, 0));
    jobs.post(job(log, 1));
    ASSERT_TRUE(log->waitFor([&] { return log->ran.size() == 2; }));
    for (int id = 2; id <= 6; ++id)
        jobs.post(job(log, id));
    EXPECT_EQ(std::set<int>({2, 3}), log->dropped()) << "the oldest waiting jobs are dropped at once";
    EXPECT_FALSE(log->waitFor([&] { return log->ran.size() > 2; }, 200ms)) << "a third job ran beside two";

    log->update([&] { log->open = true; });
    ASSERT_TRUE(log->waitFor([&] { return log->ended == 5; })) << "not every job in line ran";
    EXPECT_EQ(std::set<int>({0, 1, 4, 5, 6}), log->read([&] { return log->ran; }));
    EXPECT_TRUE(log->waitFor([&] { return log->atMost <= 2; }, 0ms)) << "more than two ran at once";
}

// At the quit the running jobs are cancelled, the waiting one and a later
// one dropped unrun, and nothing waits for a job that ignores its switch:
// neither abandon() nor the destructor beyond its short grace. The stuck
// job ends later on its own.
TEST(NetworkJobsThreads, AbandonCancelsRunningJobsDropsTheRestAndWaitsForNone)
{
    const auto log = std::make_shared<Log>();
    auto jobs = std::make_unique<NetworkJobs>(2, 3);
    jobs->post(job(log, 0));
    jobs->post(job(log, 1, false));
    ASSERT_TRUE(log->waitFor([&] { return log->ran.size() == 2; }));
    jobs->post(job(log, 2));

    const Clock::time_point start = Clock::now();
    jobs->abandon();
    jobs->post(job(log, 3));
    EXPECT_EQ(std::set<int>({2, 3}), log->dropped()) << "a waiting or late job was kept";
    EXPECT_TRUE(log->waitFor([&] { return log->ended == 1; })) << "the cancelled job ran on";
    jobs.reset();
    // The stuck job runs until the test lets it: a quit that waited for it
    // would not return; the bound leaves a busy machine room for the grace.
    EXPECT_LT(Clock::now() - start, 5s) << "the quit waited for the stuck job";

    log->update([&] { log->open = true; });
    EXPECT_TRUE(log->waitFor([&] { return log->ended == 2 && log->destroyed.size() == 4; }))
        << "the stuck job did not end on its own";
}

} // namespace
