#pragma once
// Ends the event loops when the session asks the program to end (SIGTERM
// at log-out or shut-down, SIGHUP when its terminal goes, SIGINT for
// Ctrl-C), without asking the user anything (a session that ends cannot
// answer), so that the orderly shut-down runs: a running conversion is
// stopped and its unfinished file removed, the storyboard, the music and
// the window's place are stored.
//
// The signals are blocked in every thread from the first line of main
// (blockTerminationSignals), so that no thread is ever interrupted by one,
// and taken by a thread of this object's own (a signalfd) from the moment
// it is made, the first moments of the start: whatever the window's thread
// is doing, a wait in the kernel for a share included, the request starts
// the clock of the end (EndBackstop) at once and switches on the
// interruption that the GUI thread's file reads watch while the object
// stands (files/DTAbandonableRead.h), so that a photo read there that does
// not answer is given up. Once the application object stands
// (endEventLoopsWhenAsked), the window's thread hears of it through a
// socket, and ends every event loop; a start asks asked() before it shows
// a window.
//
// A signal that came before the object was made waits blocked until it
// is, and is taken then. One object at a time, made and destroyed on the
// GUI thread; its going stops and joins its thread. The program keeps it
// through its shut-down, so that the session asking again meanwhile
// changes nothing.
//
// What the program starts takes the signals as a program the desktop
// starts does (componentmodel/DesktopSignals.h): the child of every fork
// (Qt's start of the desktop's opener, a library's own) before its exec,
// and each start the program makes itself (its launcher's, the opener
// whose end componentmodel/DesktopLauncher.h waits for).

#include <QObject>

#include <atomic>
#include <memory>
#include <thread>

class QSocketNotifier;

namespace kestrel {
class read_interruption;
class read_interruption_scope;
} // namespace kestrel

namespace Application {

// The first call of every main that runs the program's start-up (and of a
// test program that makes a TerminationSignals), before any thread starts:
// SIGTERM, SIGINT and SIGHUP blocked, which every thread started since
// inherits, and unblocked in the child of every fork from then on.
void blockTerminationSignals();
// The calling thread takes them by their default action again: for a
// process that keeps no TerminationSignals (a later start, a helper).
void unblockTerminationSignals();

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Takes the signals from now on; before the application object or
    // after.
    TerminationSignals();
    ~TerminationSignals() override;

    // Once the application object stands: a request, taken before or after,
    // ends every event loop that runs from then on.
    void endEventLoopsWhenAsked();
    // Whether the session has asked the program to end. Any thread.
    bool asked() const { return asked_.load(); }

private:
    void takeSignals();
    void quitOnSignal();

    int signals_ = -1; // the signalfd
    int stop_ = -1;    // an eventfd: the taking thread ends
    int sockets_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
    std::shared_ptr<kestrel::read_interruption> guiReads_;
    std::unique_ptr<kestrel::read_interruption_scope> guiReadsScope_;
    std::atomic<bool> asked_{false};
    std::thread taker_;
};

} // namespace Application
