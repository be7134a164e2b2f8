#include "app/TerminationSignals.h"

#include "files/DTAbandonableRead.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtDebug>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include <poll.h>
#include <pthread.h>
#include <semaphore.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Application {

namespace {

const int handledSignals[] = {SIGTERM, SIGHUP, SIGINT};
// The handler's end of the socket pair, -1 until there is one. Set once and
// never closed: a handler running on another thread may have loaded the
// number just as the object goes, and must not then write to a closed
// descriptor, or to one the process has reused for something else.
std::atomic<int> handlerSocket{-1};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free int");

// Watched by the GUI thread's reads; the handler switches it on. Made
// before any handler is installed and never freed, for the same reason.
std::atomic<kestrel::read_interruption*> handlerReads{nullptr};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<unsigned long long>::is_always_lock_free,
              "the signal handler switches the interruption with lock-free atomics");

const kestrel::read_interruption_ptr& guiReads()
{
    static const kestrel::read_interruption_ptr* const reads = [] {
        auto* made = new kestrel::read_interruption_ptr(std::make_shared<kestrel::read_interruption>());
        handlerReads.store(made->get());
        return made;
    }();
    return *reads;
}

// Requests the handler counted and the GUI thread took, and the latest
// signal; the watching thread compares the counts.
std::atomic<unsigned long long> askedCount{0};
std::atomic<unsigned long long> takenCount{0};
std::atomic<int> latestSignal{0};

// Posted by the handler for each request, by the GUI thread as it takes
// them and by the object as it goes: the watching thread then looks again.
// Made with the socket pair and never destroyed, for the same reason.
sem_t lookAgain;

// The GUI thread's end of the socket pair, made by the first object and
// kept open with the other end; -1 when it could not be made.
int readerSocket()
{
    static const int reader = [] {
        if (::sem_init(&lookAgain, 0, 0) != 0)
            return -1;
        int sockets[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, sockets) != 0)
            return -1;
        handlerSocket.store(sockets[0]);
        return sockets[1];
    }();
    return reader;
}

void drain(int socket)
{
    char bytes[16];
    while (::read(socket, bytes, sizeof bytes) > 0) {
    }
}

void writeSignalByte(int signal)
{
    // The interrupted code may be about to read errno, and the write below
    // sets it when it fails.
    const int savedErrno = errno;
    latestSignal.store(signal);
    askedCount.fetch_add(1);
    if (kestrel::read_interruption* reads = handlerReads.load())
        reads->set(true);
    const int socket = handlerSocket.load();
    if (socket >= 0) {
        const char byte = static_cast<char>(signal);
        // Nothing to do if it fails: the socket is full of earlier requests.
        ssize_t written = ::write(socket, &byte, 1);
        (void)written;
    }
    ::sem_post(&lookAgain);
    errno = savedErrno;
}

timespec monotonicIn(std::chrono::seconds span)
{
    timespec at;
    ::clock_gettime(CLOCK_MONOTONIC, &at);
    at.tv_sec += span.count();
    return at;
}

// Says so and ends the process as the signal's default action does. The
// line goes straight to standard error, not through Qt's log, whose lock
// the hung window's thread may hold; and not at all when nobody reads it
// within a moment.
[[noreturn]] void endWithoutTheWindow(int signal)
{
    char line[200];
    const int length = std::snprintf(
        line, sizeof line,
        "[TerminationSignals] the window did not answer signal %d within %lld s: the program ends without it, "
        "with what it had stored\n",
        signal, static_cast<long long>(TerminationSignals::answerBound.count()));
    pollfd error = {STDERR_FILENO, POLLOUT, 0};
    if (length > 0 && ::poll(&error, 1, 500) == 1) {
        ssize_t written = ::write(STDERR_FILENO, line, size_t(length));
        (void)written;
    }
    struct sigaction byDefault = {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    ::sigaction(signal, &byDefault, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    ::_exit(128 + signal); // a signal blocked or ignored where the default did not end the process
}

} // namespace

TerminationSignals::TerminationSignals()
    : reader_(readerSocket())
{
    if (reader_ < 0) {
        qWarning() << "[TerminationSignals] no socket pair: the session's end signals stay fatal";
        return;
    }
    // What a handler wrote as an earlier object went was meant for that one.
    drain(reader_);
    takenCount.store(askedCount.load());
    guiReads()->set(false);
    guiReads_ = std::make_unique<kestrel::read_interruption_scope>(guiReads());
    notifier_ = new QSocketNotifier(reader_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::quitOnSignal);

    // The watching thread takes no signal: the handler runs elsewhere, and
    // the signal it raises at the end stays its own to unblock.
    sigset_t all, before;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before);
    watcher_ = std::thread([this] { watchTheWindowTakeRequests(); });
    pthread_sigmask(SIG_SETMASK, &before, nullptr);

    struct sigaction action = {};
    action.sa_handler = writeSignalByte;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < sizeof handledSignals / sizeof handledSignals[0]; ++i)
        sigaction(handledSignals[i], &action, &previous_[i]);
}

TerminationSignals::~TerminationSignals()
{
    if (!notifier_)
        return;
    for (size_t i = 0; i < sizeof handledSignals / sizeof handledSignals[0]; ++i)
        sigaction(handledSignals[i], &previous_[i], nullptr);
    stopping_.store(true);
    ::sem_post(&lookAgain);
    watcher_.join();
    // The sockets stay open: a handler may still be running on another thread.
    delete notifier_;
    guiReads_.reset();
}

void TerminationSignals::quitOnSignal()
{
    // Drained before the count is read: a request counted later leaves its
    // byte for the next read.
    drain(reader_);
    takenCount.store(askedCount.load());
    ::sem_post(&lookAgain);
    qInfo() << "[TerminationSignals] asked to end: shutting down";
    // Not quit(): that asks every window to close, and a window may ask
    // the user first. exit() ends every event loop, a question's included.
    QCoreApplication::exit(0);
}

// The clock starts at the first request the GUI thread has not taken, and
// stops once it has taken everything asked.
void TerminationSignals::watchTheWindowTakeRequests()
{
    bool waiting = false;
    timespec deadline = {};
    for (;;) {
        const int waited = waiting ? ::sem_clockwait(&lookAgain, CLOCK_MONOTONIC, &deadline) : ::sem_wait(&lookAgain);
        const bool timedOut = waited != 0 && errno == ETIMEDOUT;
        if (stopping_.load())
            return;
        if (takenCount.load() >= askedCount.load()) {
            waiting = false;
        } else if (timedOut) {
            endWithoutTheWindow(latestSignal.load());
        } else if (!waiting) {
            waiting = true;
            deadline = monotonicIn(answerBound);
        }
    }
}

} // namespace Application
