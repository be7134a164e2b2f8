#include "app/TerminationSignals.h"

#include "app/EndBackstop.h"

#include "componentmodel/DesktopSignals.h"

#include "files/DTAbandonableRead.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtDebug>

#include <cerrno>
#include <csignal>
#include <cstdint>

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Application {

namespace {

sigset_t terminationSignals()
{
    sigset_t taken;
    sigemptyset(&taken);
    for (const int signal : {SIGTERM, SIGHUP, SIGINT})
        sigaddset(&taken, signal);
    return taken;
}

void drain(int socket)
{
    char bytes[16];
    while (::read(socket, bytes, sizeof bytes) > 0) {
    }
}

void closeIfOpen(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

} // namespace

void blockTerminationSignals()
{
    // Once, however often it is called. The child of a fork, whichever
    // thread forked (Qt's start of the desktop's opener, a library's own),
    // takes the desktop's signals before its exec. A start that does not
    // fork (a raw clone, posix_spawn) runs no such handler: those the
    // program makes ask for the same state themselves.
    static const int forksTakeThem = ::pthread_atfork(nullptr, nullptr, ComponentModel::takeDesktopSignals);
    (void)forksTakeThem;
    const sigset_t endSignals = terminationSignals();
    ::pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);
}

void unblockTerminationSignals()
{
    const sigset_t endSignals = terminationSignals();
    ::pthread_sigmask(SIG_UNBLOCK, &endSignals, nullptr);
}

TerminationSignals::TerminationSignals()
    : guiReads_(std::make_shared<kestrel::read_interruption>())
{
    const sigset_t endSignals = terminationSignals();
    signals_ = ::signalfd(-1, &endSignals, SFD_CLOEXEC);
    stop_ = ::eventfd(0, EFD_CLOEXEC);
    const bool paired = ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, sockets_) == 0;
    if (signals_ < 0 || stop_ < 0 || !paired) {
        qWarning() << "[TerminationSignals] the session's end signals cannot be taken: they stay fatal";
        unblockTerminationSignals();
        return;
    }
    guiReadsScope_ = std::make_unique<kestrel::read_interruption_scope>(guiReads_);
    taker_ = std::thread([this] { takeSignals(); });
}

void TerminationSignals::endEventLoopsWhenAsked()
{
    if (taker_.joinable() && !notifier_) {
        notifier_ = new QSocketNotifier(sockets_[1], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::quitOnSignal);
    }
}

TerminationSignals::~TerminationSignals()
{
    if (taker_.joinable()) {
        const std::uint64_t one = 1;
        ssize_t written = ::write(stop_, &one, sizeof one);
        (void)written;
        taker_.join();
    }
    delete notifier_;
    guiReadsScope_.reset();
    for (const int fd : {signals_, stop_, sockets_[0], sockets_[1]})
        closeIfOpen(fd);
}

// Nothing here waits for the window's thread: the request counts from the
// moment the signal is read.
void TerminationSignals::takeSignals()
{
    pollfd waits[2] = {{signals_, POLLIN, 0}, {stop_, POLLIN, 0}};
    for (;;) {
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (waits[1].revents != 0)
            return;
        signalfd_siginfo taken;
        if (::read(signals_, &taken, sizeof taken) != ssize_t(sizeof taken))
            continue;
        const int signal = int(taken.ssi_signo);
        asked_.store(true);
        EndBackstop::askedBySignal(signal);
        guiReads_->set(true);
        const char byte = static_cast<char>(signal);
        // Nothing to do if it fails: the socket is full of earlier requests.
        ssize_t written = ::write(sockets_[0], &byte, 1);
        (void)written;
    }
}

void TerminationSignals::quitOnSignal()
{
    drain(sockets_[1]);
    EndBackstop::signalsTaken();
    qInfo() << "[TerminationSignals] asked to end: shutting down";
    // Not quit(): that asks every window to close, and a window may ask
    // the user first. exit() ends every event loop, a question's included.
    QCoreApplication::exit(0);
}

} // namespace Application
