#include "app/TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtDebug>

#include <sys/socket.h>
#include <unistd.h>

namespace Application {

namespace {

const int handledSignals[] = {SIGTERM, SIGHUP, SIGINT};
// [0] is written by the handler, [1] read by the GUI thread.
int signalSockets[2] = {-1, -1};

void writeSignalByte(int signal)
{
    const char byte = static_cast<char>(signal);
    // Nothing to do if it fails: the socket is full of earlier requests.
    ssize_t written = ::write(signalSockets[0], &byte, 1);
    (void)written;
}

} // namespace

TerminationSignals::TerminationSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalSockets) != 0) {
        qWarning() << "[TerminationSignals] no socket pair: the session's end signals stay fatal";
        return;
    }
    notifier_ = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
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
    ::close(signalSockets[0]);
    ::close(signalSockets[1]);
    signalSockets[0] = signalSockets[1] = -1;
}

void TerminationSignals::quitOnSignal()
{
    char bytes[16];
    while (::read(signalSockets[1], bytes, sizeof bytes) > 0) {
    }
    qInfo() << "[TerminationSignals] asked to end: shutting down";
    // Not quit(): that asks every window to close, and a window may ask
    // the user first. exit() ends every event loop, a question's included.
    QCoreApplication::exit(0);
}

} // namespace Application
