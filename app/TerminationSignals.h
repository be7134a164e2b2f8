#pragma once
// Ends the event loops when the session asks the program to end (SIGTERM
// at log-out or shut-down, SIGHUP when its terminal goes, SIGINT for
// Ctrl-C), without asking the user anything (a session that ends cannot
// answer), so that the orderly shut-down runs: a running conversion is
// stopped and its unfinished file removed, the storyboard, the music and
// the window's place are stored. Without it these signals end the process
// on the spot.
//
// The signal handler only writes a byte into a socket pair, counts the
// request and posts a semaphore (all a handler may safely do), and switches
// on the interruption that the GUI thread's file reads watch while the
// object stands (files/DTAbandonableRead.h), so that a photo read there
// that does not answer (a share that hangs) is given up; the GUI thread
// reads the byte and ends every event loop.
//
// A window's thread that does not take the request within two seconds (it
// hangs) cannot shut down in order: a watching thread then says so on
// standard error and ends the process by the signal's default action, so
// that the exit status tells the signal. What the program stores as it
// changes (the storyboard, the music) stays as last stored. Only the taking
// is bounded: once the window's thread took the request, the shut-down runs
// to its end however long it takes; should it hang, the session's next
// signal ends the process at once, since the previous (default) handlers
// are back as soon as the event loop has returned, and while it has not, a
// new request the window does not take is bounded again.
//
// One object at a time, made and destroyed on the GUI thread; destruction
// stops and joins the watching thread and puts the previous handlers back.
// The socket pair and the semaphore live until the process ends, so that a
// handler still running on another thread as the object goes writes to
// them and to nothing else.

#include <QObject>

#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <thread>

class QSocketNotifier;

namespace kestrel {
class read_interruption_scope;
}

namespace Application {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // How long the window's thread has to take a request.
    static constexpr std::chrono::seconds answerBound{2};

    TerminationSignals();
    ~TerminationSignals() override;

private:
    void quitOnSignal();
    void watchTheWindowTakeRequests();

    int reader_;
    QSocketNotifier* notifier_ = nullptr;
    struct sigaction previous_[3];
    std::unique_ptr<kestrel::read_interruption_scope> guiReads_;
    std::atomic<bool> stopping_{false};
    std::thread watcher_;
};

} // namespace Application
