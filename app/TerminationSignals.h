#pragma once
// Ends the event loops when the session asks the program to end (SIGTERM
// at log-out or shut-down, SIGHUP when its terminal goes, SIGINT for
// Ctrl-C), without asking the user anything (a session that ends cannot
// answer), so that the orderly shut-down runs: a running conversion is
// stopped and its unfinished file removed, the storyboard, the music and
// the window's place are stored. Without it these signals end the process
// on the spot.
//
// The signal handler only writes a byte into a socket pair, hands the
// request to the end's clock (all a handler may safely do), and switches
// on the interruption that the GUI thread's file reads watch while the
// object stands (files/DTAbandonableRead.h), so that a photo read there
// that does not answer (a share that hangs) is given up; the GUI thread
// reads the byte and ends every event loop.
//
// Each request also starts the clock of the end (EndBackstop): the process
// ends once it has stood still for two seconds since, whether the window's
// thread takes the request or not, and whatever that thread meets after
// taking it.
//
// One object at a time, made and destroyed on the GUI thread; destruction
// puts the previous handlers back. The program keeps it through its
// shut-down, so that the session asking again meanwhile changes nothing.
// The socket pair lives until the process ends, so that a handler still
// running on another thread as the object goes writes to it and to
// nothing else.

#include <QObject>

#include <csignal>
#include <memory>

class QSocketNotifier;

namespace kestrel {
class read_interruption_scope;
}

namespace Application {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    TerminationSignals();
    ~TerminationSignals() override;

private:
    void quitOnSignal();

    int reader_;
    QSocketNotifier* notifier_ = nullptr;
    struct sigaction previous_[3];
    std::unique_ptr<kestrel::read_interruption_scope> guiReads_;
};

} // namespace Application
