#pragma once
// Once the program is asked to end (a signal of the session, the last
// window closed, Quit), it ends within two seconds of standing still,
// whatever its window's thread meets on the way: a request it does not take
// (it hangs), or a wait after it took it (a dialog's or the sound output's
// closing that waits for another thread, a read of a share that does not
// answer). The program stands still while none of its threads runs or
// waits for a processor: an orderly end that is only slow, on a busy
// machine, is not cut short, though it too is ended ten seconds after the
// request. Should the orderly end not have come by then, a watching thread
// ends the process with a line on standard error: by the signal's default
// action when a signal asked, so that the exit status tells the signal;
// else with status 1. Where the kernel keeps no scheduling statistics of
// the threads, two seconds after the request.
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
// without one (nothing then watches). askedBySignal is safe in a signal
// handler, on any thread; the rest belongs to the GUI thread.

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace Application {

class EndBackstop {
public:
    // The program's standing still from the first request to the end.
    static constexpr std::chrono::seconds bound{2};
    // The end's time from the first request, however busy the program.
    static constexpr std::chrono::seconds cap{10};

    EndBackstop();
    ~EndBackstop();
    EndBackstop(const EndBackstop&) = delete;
    EndBackstop& operator=(const EndBackstop&) = delete;

    // A signal asked the program to end; the first request starts the clock.
    static void askedBySignal(int signal);
    // The window's thread has taken every signal's request so far.
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
    // at the same path since is never removed from here.
    void holdInstanceLock(const std::string& path);

private:
    void watch();
    // From the request on, until the program has stood still for the
    // bound, or the cap has passed.
    void timeTheEnd(long long askedAtNs);
    [[noreturn]] void endNow(bool stoodStill);
    void letGo();

    std::atomic<int> screen_{-1}; // our own descriptor of the socket
    std::mutex lockPathMutex_;
    std::string lockPath_;
    std::atomic<bool> stopping_{false};
    std::thread watcher_;
};

} // namespace Application
