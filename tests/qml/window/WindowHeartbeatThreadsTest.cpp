// The window's heartbeat (support-qt/WindowHeartbeat.h): quiet while the
// window's thread turns, and a thread held past the limit by a condition,
// a lock or a file on a share that hangs is named, with the frame that
// holds it: a condition's while it holds. A thread it joins that waits
// for a processor is no stall; other threads that wait for one excuse
// nothing.

#include "support-qt/QmlTesting.h"
#include "support-qt/WindowHeartbeat.h"
#include "support/HangingShare.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Exported, so that a stack names them without a symbolizer.
extern "C" __attribute__((noinline)) void heartbeatHeldOnACondition(std::condition_variable& turn,
                                                                    std::mutex& mutex, const bool& go)
{
    std::unique_lock<std::mutex> lock(mutex);
    turn.wait_for(lock, std::chrono::seconds(10), [&] { return go; });
}

extern "C" __attribute__((noinline)) void heartbeatHeldOnALock(std::mutex& mutex)
{
    const std::lock_guard<std::mutex> lock(mutex);
}

extern "C" __attribute__((noinline)) void heartbeatHeldByAFile(const char* path)
{
    struct stat status;
    ::stat(path, &status);
}

// Opens a named pipe to read: the call returns once a writer opens it.
extern "C" __attribute__((noinline)) void heartbeatHeldOpeningAPipe(const char* path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd >= 0)
        ::close(fd);
}

// A thread that spins on the caller's core while this stands, and the
// threads it starts beside it at the lowest priority: those wait for a
// processor most of the time, as an encoder's threads do on busy cores.
class BusyCore {
public:
    BusyCore()
    {
        CPU_ZERO(&core_);
        CPU_SET(sched_getcpu(), &core_);
        spinner_ = std::thread([this] {
            pthread_setaffinity_np(pthread_self(), sizeof core_, &core_);
            while (!done_)
                ;
        });
    }
    ~BusyCore()
    {
        done_ = true;
        spinner_.join();
    }
    BusyCore(const BusyCore&) = delete;
    BusyCore& operator=(const BusyCore&) = delete;

    std::thread starved(std::function<void()> work)
    {
        return std::thread([this, work] {
            pthread_setaffinity_np(pthread_self(), sizeof core_, &core_);
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
            work();
        });
    }

private:
    cpu_set_t core_;
    std::atomic<bool> done_{false};
    std::thread spinner_;
};

// Processor time the calling thread has used.
std::chrono::nanoseconds processorUsed()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

TEST(WindowHeartbeat, NamesTheWindowsThreadStandingStillAndWhatHoldsIt)
{
    kestrel::test::TempDir dir;
    const std::string reportPath = dir.file("report");
    const int fd = ::open(reportPath.c_str(), O_CREAT | O_WRONLY | O_APPEND | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const auto report = [&] { return QString::fromStdString(kestrel::test::read_file(reportPath)); };
    const auto reported = [&](const char* text, int ms) {
        return qmltest::waitFor([&] { return report().contains(QLatin1String(text)); }, ms);
    };
    ASSERT_EQ(0, ::mkdir(dir.file("source").c_str(), 0700));
    ASSERT_EQ(0, ::mkdir(dir.file("share").c_str(), 0700));
    kestrel::test::hanging_share share(dir.file("source"), dir.file("share"));
    {
        WindowHeartbeat heartbeat(fd);
        heartbeat.arm(QStringLiteral("idle"));
        qmltest::waitFor([] { return false; }, 400);
        heartbeat.disarm();
        EXPECT_LT(heartbeat.longestStall(), 300);
        EXPECT_EQ(heartbeat.failure(), QString());
        EXPECT_EQ(report(), QString());

        // Let go once its stack is out (or after 5 s).
        std::condition_variable turn;
        std::mutex mutex;
        bool go = false, namedWhileHeld = false;
        heartbeat.arm(QStringLiteral("condition"));
        std::thread holder([&] {
            for (int i = 0; i < 500 && !namedWhileHeld; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                namedWhileHeld = report().contains(QLatin1String("heartbeatHeldOnACondition"));
            }
            const std::lock_guard<std::mutex> lock(mutex);
            go = true;
            turn.notify_all();
        });
        heartbeatHeldOnACondition(turn, mutex, go);
        holder.join();
        heartbeat.disarm();
        EXPECT_TRUE(namedWhileHeld) << report().toStdString();
        EXPECT_TRUE(report().contains(QLatin1String("condition: the window's thread has not turned for ")));
        EXPECT_GE(heartbeat.longestStall(), 300);
        EXPECT_TRUE(heartbeat.failure().startsWith(QLatin1String("condition: the window's thread stood still for ")))
            << heartbeat.failure().toStdString();

        // Held 600 ms by another thread's lock.
        heartbeat.arm(QStringLiteral("lock"));
        std::atomic<bool> locked{false};
        std::thread letGo([&] {
            const std::lock_guard<std::mutex> lock(mutex);
            locked = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(600));
        });
        while (!locked)
            std::this_thread::yield();
        heartbeatHeldOnALock(mutex);
        letGo.join();
        EXPECT_TRUE(reported("heartbeatHeldOnALock", 5000)) << report().toStdString();
        heartbeat.disarm();
        EXPECT_GE(heartbeat.longestStall(), 550);

        // Held joining a thread that waits for a processor most of the
        // time (20 ms of work at the lowest priority, beside a thread that
        // spins on its core): slowness of busy cores, not a stall.
        heartbeat.arm(QStringLiteral("starved"));
        const auto joined = std::chrono::steady_clock::now();
        {
            BusyCore busy;
            busy.starved([] {
                    const auto start = processorUsed();
                    while (processorUsed() - start < std::chrono::milliseconds(20))
                        ;
                })
                .join();
        }
        heartbeat.disarm();
        const auto starvedFor = std::chrono::steady_clock::now() - joined;
        ASSERT_GT(starvedFor, std::chrono::milliseconds(600)) << "the work was never kept from a processor";
        EXPECT_LT(heartbeat.longestStall(), 300);

        // Held 500 ms by a file (a named pipe no one writes to yet) while
        // threads it does not wait for wait for a processor all along: a
        // stall, however starved they are.
        const std::string pipe = dir.file("pipe");
        ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
        heartbeat.arm(QStringLiteral("file beside starved threads"));
        {
            BusyCore busy;
            std::atomic<bool> opened{false};
            std::thread first = busy.starved([&] {
                while (!opened)
                    ;
            });
            std::thread second = busy.starved([&] {
                while (!opened)
                    ;
            });
            std::thread writer([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                const int fd = ::open(pipe.c_str(), O_WRONLY | O_CLOEXEC);
                if (fd >= 0)
                    ::close(fd);
            });
            heartbeatHeldOpeningAPipe(pipe.c_str());
            opened = true;
            writer.join();
            first.join();
            second.join();
        }
        heartbeat.disarm();
        EXPECT_GE(heartbeat.longestStall(), 400);
        EXPECT_TRUE(heartbeat.failure().startsWith(QLatin1String("file beside starved threads: ")))
            << heartbeat.failure().toStdString();

        // Held by a look at a share that hangs until it answers after 800 ms:
        // the kernel's side at once, its frames once the call returns.
        if (share.unavailable().empty()) {
            heartbeat.arm(QStringLiteral("file"));
            share.hang("lookup");
            EXPECT_FALSE(kestrel::test::returns_unhelped(share, std::chrono::milliseconds(800), [&] {
                heartbeatHeldByAFile(dir.file("share/nothing").c_str());
            }));
            EXPECT_TRUE(reported("heartbeatHeldByAFile", 5000)) << report().toStdString();
            EXPECT_TRUE(report().contains(QLatin1String("file: the window's thread has not turned for ")));
            heartbeat.disarm();
        }
    }
    ::close(fd);
}
