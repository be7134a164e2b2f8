// The heartbeat's watcher takes the window's thread's stack through a
// signal whose handler only stores the return addresses (async-signal-safe,
// errno kept, the unwinder loaded beforehand); the watcher names them, with
// the sanitizer's symbolizer where one is linked (files and lines).

#include "support-qt/WindowHeartbeat.h"

#include <QTimer>

#include <execinfo.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>

extern "C" void __sanitizer_symbolize_pc(void* pc, const char* format, char* out, size_t size)
    __attribute__((weak));

namespace {

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The ns a thread has run and waited for a processor (its schedstat).
struct SchedStat {
    unsigned long long running = 0, waiting = 0;
};

SchedStat schedStat(pid_t thread)
{
    const std::string path = "/proc/self/task/" + std::to_string(thread) + "/schedstat";
    SchedStat stat;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return stat;
    char text[128] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0 || std::sscanf(text, "%llu %llu", &stat.running, &stat.waiting) != 2)
        return SchedStat();
    return stat;
}

// The ms a thread has run or waited for a processor, so that a stall
// counts only the time it was held in a wait: a busy window on loaded
// cores is slow, not waiting for a share.
qint64 busyMs(pid_t thread)
{
    const SchedStat stat = schedStat(thread);
    return static_cast<qint64>((stat.running + stat.waiting) / 1000000ULL);
}

// One line of a file under /proc (the kernel answers at once), or "".
std::string procLine(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::string();
    char text[4096];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    return n > 0 ? std::string(text, size_t(n)) : std::string();
}

// The thread of this process that `thread` waits to join, or 0 when it
// waits for anything else (a lock, a condition, a file) or runs. A join
// waits in the kernel on the joined thread's id, which the kernel clears
// as that thread ends: a futex wait whose expected value is a live
// thread's id.
pid_t joinedThread(pid_t thread)
{
    // The call's number, then its arguments in hex; "running" outside one.
    const std::string call = procLine("/proc/self/task/" + std::to_string(thread) + "/syscall");
    long number = -1;
    unsigned long long address = 0, operation = 0, expected = 0;
    if (std::sscanf(call.c_str(), "%ld %llx %llx %llx", &number, &address, &operation, &expected) != 4 ||
        number != SYS_futex)
        return 0;
    const unsigned long long command = operation & FUTEX_CMD_MASK;
    if (command != FUTEX_WAIT && command != FUTEX_WAIT_BITSET)
        return 0;
    const pid_t joined = static_cast<pid_t>(expected);
    if (joined <= 0 || joined == thread || static_cast<unsigned long long>(joined) != expected)
        return 0;
    const std::string task = "/proc/self/task/" + std::to_string(joined);
    return ::access(task.c_str(), F_OK) == 0 ? joined : 0;
}

// Whether a thread of this process runs or waits for a processor now (its
// state R): a thread woken from a wait is credited the time it waits for a
// processor only once it runs, so until then it is not counted as held.
bool runnable(pid_t thread)
{
    const std::string path = "/proc/self/task/" + std::to_string(thread) + "/stat";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char text[512] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    const char* end = n > 0 ? std::strrchr(text, ')') : nullptr;
    return end && end[1] == ' ' && end[2] == 'R';
}

// While the window's thread is held joining a thread (and that one in turn
// another), the work it waits for may itself wait for a processor on
// loaded cores: that is slowness, not a wait for a share. Each look
// excuses what a thread of that chain waited for a processor since the
// look before (the longest of them). The kernel credits such a wait only
// once the thread runs, on busy cores in one late step, so a thread
// runnable at looks in a row also counts as waiting for the time the
// kernel has credited neither as run nor as waited since the first of
// them. Nothing else is excused: a window held by a lock, a condition or
// a call on a file waits for no processor, whatever other threads of the
// process wait for meanwhile (an encoder's on busy cores wait most of the
// time).
class StarvedJoins {
public:
    // The ns to excuse since the last look.
    unsigned long long look(pid_t windowThread)
    {
        const unsigned long long now = nowNs();
        std::map<pid_t, Seen> seen;
        unsigned long long longest = 0;
        pid_t joined = windowThread;
        for (int depth = 0; depth < 8 && (joined = joinedThread(joined)) > 0 && !seen.count(joined); ++depth) {
            const SchedStat stat = schedStat(joined);
            const auto before = seen_.find(joined);
            Seen& current = seen[joined];
            if (before != seen_.end())
                current = before->second;
            else
                current.first = stat;
            const bool wasRunnable = current.runnable;
            current.runnable = runnable(joined);
            if (current.runnable && !wasRunnable) {
                current.runnableSince = stat;
                current.runnableSinceNs = now;
            }
            unsigned long long waited = difference(stat.waiting, current.first.waiting);
            if (current.runnable && wasRunnable) {
                const unsigned long long credited = difference(stat.running, current.runnableSince.running) +
                                                    difference(stat.waiting, current.runnableSince.waiting);
                waited += difference(now - current.runnableSinceNs, credited);
            }
            longest = std::max(longest, difference(waited, current.excused));
            current.excused = std::max(current.excused, waited);
        }
        seen_.swap(seen);
        return longest;
    }
    void forget() { seen_.clear(); }

private:
    struct Seen {
        SchedStat first; // at the first look that found it
        bool runnable = false;
        SchedStat runnableSince; // at the first look of its runnable streak
        unsigned long long runnableSinceNs = 0;
        unsigned long long excused = 0; // its wait excused so far
    };

    static unsigned long long nowNs()
    {
        return static_cast<unsigned long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                   std::chrono::steady_clock::now().time_since_epoch())
                                                   .count());
    }
    // a - b, or 0 where b is larger.
    static unsigned long long difference(unsigned long long a, unsigned long long b) { return a > b ? a - b : 0; }

    std::map<pid_t, Seen> seen_;
};

// What the handler caught; lives as long as the process, for a signal that
// is handled late (once a call held in the kernel returns). A handler
// writes only when asked (a signal left over from an earlier stall may
// come late, or twice), and the watcher reads only once it has written.
struct Caught {
    void* frames[64];
    std::atomic<bool> asked{false};
    std::atomic<int> depth{-1}; // -1: nothing caught yet
};
Caught caught;

int stackSignal()
{
    return SIGRTMIN + 6;
}

void catchStack(int)
{
    const int saved = errno;
    if (caught.asked.exchange(false))
        caught.depth.store(backtrace(caught.frames, 64), std::memory_order_release);
    errno = saved;
}

void installHandler()
{
    static const bool installed = [] {
        void* warm[4];
        backtrace(warm, 4); // loads the unwinder outside any handler
        struct sigaction action = {};
        action.sa_handler = catchStack;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        return sigaction(stackSignal(), &action, nullptr) == 0;
    }();
    (void)installed;
}

void say(int fd, const std::string& text)
{
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += size_t(n);
    }
}

void sayFrames(int fd, int depth)
{
    for (int i = 0; i < depth; ++i) {
        char line[2048] = {};
        if (__sanitizer_symbolize_pc) {
            // Return addresses: the call is the instruction before.
            __sanitizer_symbolize_pc(static_cast<char*>(caught.frames[i]) - 1, "%F %L", line, sizeof line);
            // Inlined frames come one after another, each ended by a zero.
            for (const char* frame = line; *frame && frame < line + sizeof line; frame += std::strlen(frame) + 1)
                say(fd, "    #" + std::to_string(i) + " " + frame + "\n");
        } else {
            say(fd, "    #" + std::to_string(i) + " ");
            backtrace_symbols_fd(&caught.frames[i], 1, fd);
        }
    }
}

} // namespace

struct WindowHeartbeat::State {
    int fd;
    qint64 limit;
    pid_t windowThread = ::gettid();
    std::atomic<qint64> lastBeat{nowMs()};
    std::atomic<qint64> busyAtBeat{busyMs(windowThread)}; // written after lastBeat
    // The ns excused for starved threads the window waits to join (only
    // grows), and its value at the last beat.
    std::atomic<unsigned long long> excused{0};
    std::atomic<unsigned long long> excusedAtBeat{0}; // written after lastBeat
    std::atomic<bool> armed{false};
    std::atomic<qint64> longest{0};
    std::mutex mutex; // guards what, armings, stop
    std::condition_variable wake;
    std::string what;
    int armings = 0;
    bool stop = false;
    std::thread watcher;

    // What the window's thread stood still since its last beat, in ms.
    qint64 gapSinceBeat(qint64 now, qint64 busy, unsigned long long excusedNow) const
    {
        return now - lastBeat - (busy - busyAtBeat) - qint64((excusedNow - excusedAtBeat) / 1000000ULL);
    }

    void keepLongest(qint64 gap)
    {
        qint64 known = longest.load();
        while (gap > known && !longest.compare_exchange_weak(known, gap)) {
        }
    }

    void report(const std::string& what, qint64 gap)
    {
        const std::string task = "/proc/self/task/" + std::to_string(windowThread);
        say(fd, "WindowHeartbeat: " + what + ": the window's thread has not turned for " + std::to_string(gap) +
                    " ms\n  in the kernel: syscall " + procLine(task + "/syscall") + "  waits in " +
                    procLine(task + "/wchan") + "\n" + procLine(task + "/stack"));
        caught.depth.store(-1);
        caught.asked.store(true);
        ::tgkill(::getpid(), windowThread, stackSignal());
    }

    // A stall is shown when it passes the limit and again each time it
    // doubles (a busy moment first, what holds the thread later), at most
    // four times an arming. Reports are written unlocked: arm() never
    // waits for one.
    void watch()
    {
        std::unique_lock<std::mutex> lock(mutex);
        int arming = 0, shown = 0;
        qint64 next = limit;
        bool awaitingFrames = false;
        std::string stalled;
        StarvedJoins starved;
        while (!stop) {
            wake.wait_for(lock, std::chrono::milliseconds(10));
            if (arming != armings) {
                arming = armings;
                shown = 0;
                next = limit;
            }
            if (armed) {
                // Read in the order opposite to the beat's writes: a beat
                // in between makes the stall look shorter, never longer.
                const qint64 excusedSince = excusedAtBeat, busySince = busyAtBeat;
                const qint64 rawGap = nowMs() - lastBeat - (busyMs(windowThread) - busySince);
                // Runnable now, it is not held: its next beat counts exactly
                // what it waited.
                const bool held = !runnable(windowThread);
                // Looked at only past a beat's time: most looks find the
                // window idle between beats.
                if (held && rawGap >= 20)
                    excused += starved.look(windowThread);
                else
                    starved.forget();
                const qint64 gap = rawGap - qint64((excused - excusedSince) / 1000000ULL);
                if (held)
                    keepLongest(gap);
                if (gap < limit)
                    next = limit;
                if (held && gap >= next && shown < 4 && !awaitingFrames) {
                    ++shown;
                    next = 2 * gap;
                    stalled = what;
                    lock.unlock();
                    report(stalled, gap);
                    lock.lock();
                    awaitingFrames = true;
                }
            }
            const int depth = caught.depth.load(std::memory_order_acquire);
            if (awaitingFrames && depth >= 0) {
                lock.unlock();
                say(fd, "WindowHeartbeat: " + stalled + ": the window's thread's stack:\n");
                sayFrames(fd, depth);
                lock.lock();
                awaitingFrames = false;
            }
        }
    }
};

WindowHeartbeat::WindowHeartbeat(int reportFd, std::chrono::milliseconds limit) : state_(std::make_shared<State>())
{
    installHandler();
    state_->fd = reportFd;
    state_->limit = limit.count();
    auto* timer = new QTimer(&beats_);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, &beats_, [state = state_.get()] {
        const qint64 now = nowMs(), busy = busyMs(state->windowThread);
        const unsigned long long excused = state->excused;
        if (state->armed)
            state->keepLongest(state->gapSinceBeat(now, busy, excused));
        state->lastBeat = now;
        state->busyAtBeat = busy;
        state->excusedAtBeat = excused;
    });
    timer->start(10);
    state_->watcher = std::thread([state = state_.get()] { state->watch(); });
}

WindowHeartbeat::~WindowHeartbeat()
{
    {
        const std::lock_guard<std::mutex> lock(state_->mutex);
        state_->stop = true;
    }
    state_->wake.notify_all();
    state_->watcher.join();
}

void WindowHeartbeat::arm(const QString& what)
{
    const std::lock_guard<std::mutex> lock(state_->mutex);
    state_->what = what.toStdString();
    ++state_->armings;
    state_->lastBeat = nowMs();
    state_->busyAtBeat = busyMs(state_->windowThread);
    state_->excusedAtBeat = state_->excused.load();
    state_->longest = 0;
    state_->armed = true;
}

void WindowHeartbeat::disarm()
{
    state_->armed = false;
}

qint64 WindowHeartbeat::longestStall() const
{
    return state_->longest;
}

QString WindowHeartbeat::failure() const
{
    const std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->longest < state_->limit)
        return QString();
    return QString::fromStdString(state_->what) + QStringLiteral(": the window's thread stood still for %1 ms")
                                                      .arg(state_->longest.load());
}
