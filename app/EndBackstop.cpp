#include "app/EndBackstop.h"

#include "viewmodel/StoresInFlight.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <semaphore.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Application {

namespace {

// What the thread taking the signals and the window's thread record, and
// the watching thread reads: when the first request came (CLOCK_MONOTONIC
// in nanoseconds, 0 while none has), the latest signal (0: none), whether
// the window's thread has taken a request (or began the end itself).
std::atomic<long long> askedAt{0};
std::atomic<int> latestSignal{0};
std::atomic<bool> windowTook{false};

// Posted at each request, and as the object goes: the watching thread
// looks again. Made as the library loads and never destroyed, so that a
// request may post it at any time.
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

// The processor time of the whole process, its threads that ended
// included, in nanoseconds; -1 when the kernel does not tell.
long long processorNs()
{
    timespec used;
    if (::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used) != 0)
        return -1;
    return static_cast<long long>(used.tv_sec) * 1000000000LL + used.tv_nsec;
}

// "2.3": seconds to a tenth, the same in every locale.
std::string seconds(long long ns)
{
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%lld", ns / 1000000000LL, ns / 100000000LL % 10);
    return text;
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
    windowTook.store(false);
    while (lookAgainMade && ::sem_trywait(&lookAgain) == 0) {
    }
    // The watching thread takes no signal: they are taken elsewhere, and
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
    latestSignal.store(signal);
    startTheClock();
}

void EndBackstop::signalsTaken() { windowTook.store(true); }

void EndBackstop::endBegins()
{
    windowTook.store(true);
    startTheClock();
}

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

// A tick in which the process used less than a tenth of it on a
// processor, no store being written, counts as standing still.
void EndBackstop::timeTheEnd(long long askedAtNs)
{
    const long long tick = nanoseconds(std::chrono::milliseconds(100));
    long long stillNs = 0, lookedAt = monotonicNow(), usedBefore = processorNs();
    for (;;) {
        const timespec next = monotonicAt(lookedAt + tick);
        ::sem_clockwait(&lookAgain, CLOCK_MONOTONIC, &next); // a later request only wakes it early
        if (stopping_.load())
            return;
        const long long now = monotonicNow(), used = processorNs(), span = now - lookedAt;
        const bool ran = used >= 0 && usedBefore >= 0 && used - usedBefore >= span / 10;
        const bool progress = ran || ViewModel::storeInFlight();
        stillNs = progress ? 0 : stillNs + span;
        lookedAt = now;
        usedBefore = used;
        const long long sinceAsked = now - askedAtNs;
        if (!windowTook.load() && sinceAsked >= nanoseconds(bound))
            endNow(Why::Untaken, sinceAsked);
        if (stillNs >= nanoseconds(bound))
            endNow(Why::StoodStill, stillNs);
        if (sinceAsked >= nanoseconds(cap))
            endNow(Why::Cap, sinceAsked);
    }
}

void EndBackstop::endNow(Why why, long long measuredNs)
{
    letGo();
    const int signal = latestSignal.load();
    char asked[40];
    if (signal != 0)
        std::snprintf(asked, sizeof asked, "signal %d", signal);
    else
        std::snprintf(asked, sizeof asked, "its window's closing");
    const std::string measured = seconds(measuredNs);
    char line[240];
    int length;
    if (why == Why::Untaken)
        length = std::snprintf(line, sizeof line,
                               "[TerminationSignals] the window did not answer signal %d within %lld s (%s s since "
                               "it came): the program ends without it, with what it had stored\n",
                               signal, static_cast<long long>(bound.count()), measured.c_str());
    else if (why == Why::StoodStill)
        length = std::snprintf(line, sizeof line,
                               "[EndBackstop] the program stood still for %s s in a row after %s: it ends now, "
                               "with what it had stored\n",
                               measured.c_str(), asked);
    else
        length = std::snprintf(line, sizeof line,
                               "[EndBackstop] the program had not ended %s s after %s: it ends now, with what it "
                               "had stored\n",
                               measured.c_str(), asked);
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
    // Kept locked until the process ends: the instance's own unlock, which
    // would remove the path once more (a new start's lock by then), never
    // comes after this removal.
    lockPathMutex_.lock();
    if (!lockPath_.empty())
        ::unlink(lockPath_.c_str());
}

} // namespace Application
