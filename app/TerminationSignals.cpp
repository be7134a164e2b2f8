#include "app/TerminationSignals.h"

#include "app/EndBackstop.h"

#include "files/DTAbandonableRead.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtDebug>

#include <atomic>
#include <cerrno>

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

// The GUI thread's end of the socket pair, made by the first object and
// kept open with the other end; -1 when it could not be made.
int readerSocket()
{
    static const int reader = [] {
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
    EndBackstop::askedBySignal(signal);
    if (kestrel::read_interruption* reads = handlerReads.load())
        reads->set(true);
    const int socket = handlerSocket.load();
    if (socket >= 0) {
        const char byte = static_cast<char>(signal);
        // Nothing to do if it fails: the socket is full of earlier requests.
        ssize_t written = ::write(socket, &byte, 1);
        (void)written;
    }
    errno = savedErrno;
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
    EndBackstop::signalsTaken();
    guiReads()->set(false);
    guiReads_ = std::make_unique<kestrel::read_interruption_scope>(guiReads());
    notifier_ = new QSocketNotifier(reader_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::quitOnSignal);

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
    // The sockets stay open: a handler may still be running on another thread.
    delete notifier_;
    guiReads_.reset();
}

void TerminationSignals::quitOnSignal()
{
    // Drained before the count is read: a request counted later leaves its
    // byte for the next read.
    drain(reader_);
    EndBackstop::signalsTaken();
    qInfo() << "[TerminationSignals] asked to end: shutting down";
    // Not quit(): that asks every window to close, and a window may ask
    // the user first. exit() ends every event loop, a question's included.
    QCoreApplication::exit(0);
}

} // namespace Application
