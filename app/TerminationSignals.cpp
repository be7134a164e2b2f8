#include "app/TerminationSignals.h"

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
// The handler's end of the socket pair, -1 while there is none: read with
// one lock-free load, so a signal arriving while the object goes sees
// either the open descriptor or -1, never a closed (or reused) number.
std::atomic<int> handlerSocket{-1};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free int");
// The GUI thread's end.
int readerSocket = -1;

void writeSignalByte(int signal)
{
    // The interrupted code may be about to read errno.
    const int savedErrno = errno;
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
{
    int sockets[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, sockets) != 0) {
        qWarning() << "[TerminationSignals] no socket pair: the session's end signals stay fatal";
        return;
    }
    handlerSocket.store(sockets[0]);
    readerSocket = sockets[1];
    notifier_ = new QSocketNotifier(readerSocket, QSocketNotifier::Read, this);
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
    delete notifier_;
    // Marked closed before it is closed: a handler that runs from here on
    // finds -1, never a number the process may already have reused.
    ::close(handlerSocket.exchange(-1));
    ::close(readerSocket);
    readerSocket = -1;
}

void TerminationSignals::quitOnSignal()
{
    char bytes[16];
    while (::read(readerSocket, bytes, sizeof bytes) > 0) {
    }
    qInfo() << "[TerminationSignals] asked to end: shutting down";
    // Not quit(): that asks every window to close, and a window may ask
    // the user first. exit() ends every event loop, a question's included.
    QCoreApplication::exit(0);
}

} // namespace Application
