#pragma once
// Once the program is asked to end (a signal of the session, the last
// window closed, Quit), it ends in order, or is ended by force whatever
// its window's thread meets on the way:
// - a signal's request the window's thread has not taken two seconds after
//   it came (the thread hangs, or waits in the kernel for a share), busy
//   or not, ends the program then: taking it costs the window's thread
//   nothing but an event;
// - once the end is under way on the window's thread, it is left to run
//   while it makes progress: the program uses processor time (its own, all
//   its threads', those that ended included), or a store of the user's
//   data is being written (viewmodel/StoresInFlight.h: a slow disk is no
//   standstill). Two seconds in a row without either end it;
// - ten seconds after the request, it ends whatever it does.
// A watching thread then ends the process with a line on standard error
// that says the time it measured: by the signal's default action when a
// signal asked, so that the exit status tells the signal; else with
// status 1.
//
// A process may stay after that while one of its threads waits in the
// kernel for a share (the system waits for a request it has sent until the
// share answers). So before it ends the process, the watch lets go of what
// others see: the connection to the window system is shut down, so that
// the X server takes the windows off the screen, and the single instance's
// lock file is removed, so that a new start opens its own window at once.
// What the program stores it writes whole or not at all (a new file
// renamed over the old one), so an end at any moment leaves no file half
// written.
//
// One object at a time, made on the GUI thread before the application
// object and destroyed after it: its going is the end reached in order,
// which stops and joins the watching thread and lets go of its hold on the
// window system's connection. askedBySignal and signalsTaken may be called
// without one (nothing then watches). askedBySignal belongs to the thread
// that takes the signals (TerminationSignals), signalsTaken and the rest
// to the GUI thread.

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace Application {

class EndBackstop {
public:
    // The window's time to take a signal's request, and the program's
    // standing still in a row once it has.
    static constexpr std::chrono::seconds bound{2};
    // The end's time from the first request, however busy the program.
    static constexpr std::chrono::seconds cap{10};

    EndBackstop();
    ~EndBackstop();
    EndBackstop(const EndBackstop&) = delete;
    EndBackstop& operator=(const EndBackstop&) = delete;

    // A signal asked the program to end; the first request starts the clock.
    static void askedBySignal(int signal);
    // The window's thread has taken a signal's request: the end is under
    // way.
    static void signalsTaken();
    // The end begins, asked by the window (its last one closed) unless a
    // signal asked before.
    void endBegins();

    // The socket of the connection to the window system (a descriptor of
    // it is kept, so that it can be shut down whoever closes theirs); -1
    // for none.
    void holdScreen(int socket);
    // The single instance's lock file, removed before a forced end; empty
    // once the instance has let its key go, so that a lock a new start took
    // at the same path since is never removed from here. The path is
    // removed once: once the watch has removed it, this call waits for the
    // process's end, so that the instance's own unlock never comes after
    // (a new start's lock may stand there by then).
    void holdInstanceLock(const std::string& path);

private:
    enum class Why { Untaken, StoodStill, Cap };
    void watch();
    // From the request on, until the orderly end or a forced one.
    void timeTheEnd(long long askedAtNs);
    [[noreturn]] void endNow(Why why, long long measuredNs);
    void letGo();

    std::atomic<int> screen_{-1}; // our own descriptor of the socket
    std::mutex lockPathMutex_;
    std::string lockPath_;
    std::atomic<bool> stopping_{false};
    std::thread watcher_;
};

} // namespace Application
