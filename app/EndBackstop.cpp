#include "app/EndBackstop.h"

#include "files/DTUnansweredTime.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <semaphore.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Application {

namespace {

// What a signal handler records, lock-free, and what the watching thread
// reads: when the first request came (CLOCK_MONOTONIC in nanoseconds, 0
// while none has), the latest signal (0: none), the signals' requests
// asked and taken.
std::atomic<long long> askedAt{0};
std::atomic<int> latestSignal{0};
std::atomic<unsigned long long> askedCount{0};
std::atomic<unsigned long long> takenCount{0};
static_assert(std::atomic<long long>::is_always_lock_free && std::atomic<int>::is_always_lock_free &&
                  std::atomic<unsigned long long>::is_always_lock_free,
              "a signal handler records the request with lock-free atomics");

// Posted at each request, and as the object goes: the watching thread
// looks again. Made as the library loads and never destroyed, so that a
// handler may post it at any time.
sem_t lookAgain;
const bool lookAgainMade = ::sem_init(&lookAgain, 0, 0) == 0;

long long monotonicNow()
{
    timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

long long nanoseconds(std::chrono::nanoseconds span) { return span.count(); }

timespec monotonicAt(long long ns) { return timespec{time_t(ns / 1000000000LL), long(ns % 1000000000LL)}; }

// What the process's threads but `except` have run or waited for a
// processor, summed, in nanoseconds; -1 when the kernel does not tell.
long long busyNs(pid_t except)
{
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks)
        return -1;
    long long busy = -1;
    while (const dirent* entry = ::readdir(tasks)) {
        const pid_t thread = pid_t(std::strtol(entry->d_name, nullptr, 10));
        const long long scheduled = thread > 0 && thread != except ? kestrel::scheduled_ns(thread) : -1;
        if (scheduled >= 0)
            busy = std::max(busy, 0LL) + scheduled;
    }
    ::closedir(tasks);
    return busy;
}

void startTheClock()
{
    long long none = 0;
    askedAt.compare_exchange_strong(none, monotonicNow());
    if (lookAgainMade)
        ::sem_post(&lookAgain);
}

// The line goes straight to standard error, not through Qt's log, whose
// lock the window's thread may hold; and not at all when nobody reads it
// within a moment.
void say(const char* line, int length)
{
    pollfd error = {STDERR_FILENO, POLLOUT, 0};
    if (length > 0 && ::poll(&error, 1, 500) == 1) {
        ssize_t written = ::write(STDERR_FILENO, line, size_t(length));
        (void)written;
    }
}

// As the signal's default action ends the process, so that the exit
// status tells the signal.
[[noreturn]] void endBySignal(int signal)
{
    struct sigaction byDefault = {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    ::sigaction(signal, &byDefault, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    ::_exit(128 + signal); // a signal whose default does not end the process
}

} // namespace

EndBackstop::EndBackstop()
{
    askedAt.store(0);
    latestSignal.store(0);
    takenCount.store(askedCount.load());
    while (lookAgainMade && ::sem_trywait(&lookAgain) == 0) {
    }
    // The watching thread takes no signal: the handler runs elsewhere, and
    // the signal it raises at the end stays its own to unblock.
    sigset_t all, before;
    sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &before);
    if (lookAgainMade)
        watcher_ = std::thread([this] { watch(); });
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

EndBackstop::~EndBackstop()
{
    if (watcher_.joinable()) {
        stopping_.store(true);
        ::sem_post(&lookAgain);
        watcher_.join();
    }
    // The last descriptor of the window system's socket, once the
    // application has closed its own: the X server sees the program go.
    holdScreen(-1);
}

void EndBackstop::askedBySignal(int signal)
{
    const int savedErrno = errno;
    latestSignal.store(signal);
    askedCount.fetch_add(1);
    startTheClock();
    errno = savedErrno;
}

void EndBackstop::signalsTaken() { takenCount.store(askedCount.load()); }

void EndBackstop::endBegins() { startTheClock(); }

void EndBackstop::holdScreen(int socket)
{
    const int held = socket >= 0 ? ::fcntl(socket, F_DUPFD_CLOEXEC, 0) : -1;
    const int before = screen_.exchange(held);
    if (before >= 0)
        ::close(before);
}

void EndBackstop::holdInstanceLock(const std::string& path)
{
    const std::lock_guard<std::mutex> lock(lockPathMutex_);
    lockPath_ = path;
}

void EndBackstop::watch()
{
    for (;;) {
        const long long asked = askedAt.load();
        if (asked != 0)
            return timeTheEnd(asked);
        ::sem_wait(&lookAgain);
        if (stopping_.load())
            return;
    }
}

// A tick in which the threads ran or waited to run for less than a tenth
// of it counts as standing still.
void EndBackstop::timeTheEnd(long long askedAtNs)
{
    const long long tick = nanoseconds(std::chrono::milliseconds(100));
    const pid_t watcher = pid_t(::syscall(SYS_gettid));
    long long stillNs = 0, lookedAt = monotonicNow(), busyBefore = busyNs(watcher);
    for (;;) {
        const timespec next = monotonicAt(lookedAt + tick);
        ::sem_clockwait(&lookAgain, CLOCK_MONOTONIC, &next); // a later request only wakes it early
        if (stopping_.load())
            return;
        const long long now = monotonicNow(), busy = busyNs(watcher), span = now - lookedAt;
        if (busy < 0 || busyBefore < 0 || busy - busyBefore < span / 10)
            stillNs += span;
        lookedAt = now;
        busyBefore = busy;
        if (stillNs >= nanoseconds(bound) || now - askedAtNs >= nanoseconds(cap))
            endNow(stillNs >= nanoseconds(bound));
    }
}

void EndBackstop::endNow(bool stoodStill)
{
    letGo();
    const int signal = latestSignal.load();
    char asked[40];
    if (signal != 0)
        std::snprintf(asked, sizeof asked, "signal %d", signal);
    else
        std::snprintf(asked, sizeof asked, "its window's closing");
    char line[240];
    int length;
    if (signal != 0 && takenCount.load() < askedCount.load())
        length = std::snprintf(line, sizeof line,
                               "[TerminationSignals] the window did not answer signal %d within %lld s: the program "
                               "ends without it, with what it had stored\n",
                               signal, static_cast<long long>(bound.count()));
    else if (stoodStill)
        length = std::snprintf(line, sizeof line,
                               "[EndBackstop] the program stood still for %lld s after %s: it ends now, with what it "
                               "had stored\n",
                               static_cast<long long>(bound.count()), asked);
    else
        length = std::snprintf(line, sizeof line,
                               "[EndBackstop] the program did not end within %lld s of %s: it ends now, with what it "
                               "had stored\n",
                               static_cast<long long>(cap.count()), asked);
    say(line, length);
    if (signal != 0)
        endBySignal(signal);
    ::_exit(1);
}

void EndBackstop::letGo()
{
    const int screen = screen_.exchange(-1);
    if (screen >= 0)
        ::shutdown(screen, SHUT_RDWR);
    const std::lock_guard<std::mutex> lock(lockPathMutex_);
    if (!lockPath_.empty())
        ::unlink(lockPath_.c_str());
}

} // namespace Application
