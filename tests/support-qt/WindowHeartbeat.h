#pragma once
// Watches the window's (GUI) thread for standing still: a timer on that
// thread marks it alive every 10 ms, and a thread of the heartbeat's own
// looks every 10 ms. Standing still is the time between marks that the
// thread spent neither running nor waiting for a processor, held in a
// wait (a lock, a condition, a file call): work slowed by busy cores is
// not counted, nor, while it is held joining a thread, the time that
// thread (and the one it joins in turn) waited for a processor: the work
// it waits for, kept from running. A wait on anything else counts whole,
// whatever other threads wait for a processor meanwhile. While armed, a
// stall past the limit is kept (the longest since arm(), with the name
// armed) and the window's thread's stack is written to the report, again
// each time the stall doubles (at most four times an arming): what the
// kernel says it waits in at once, then its own frames, caught by a
// real-time signal sent to it (a thread held in a lock or a condition
// answers at once; one held in the kernel by a file, or under the race
// checker in a lock, once it returns). Nothing here waits on the window's
// thread: every wait is bounded. Made, armed and read on the GUI thread;
// one at a time.

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <memory>

class WindowHeartbeat {
public:
    explicit WindowHeartbeat(int reportFd = 2, std::chrono::milliseconds limit = std::chrono::milliseconds(300));
    ~WindowHeartbeat();
    WindowHeartbeat(const WindowHeartbeat&) = delete;
    WindowHeartbeat& operator=(const WindowHeartbeat&) = delete;

    // Watches from now on as `what`; the longest stall starts again at 0.
    void arm(const QString& what);
    void disarm();
    // The longest the window's thread stood still while armed since the
    // last arm(), in ms.
    qint64 longestStall() const;
    // Empty, or "<what>: the window's thread stood still for <n> ms".
    QString failure() const;

private:
    struct State;
    std::shared_ptr<State> state_;
    QObject beats_; // the timer's context, on the GUI thread
};
