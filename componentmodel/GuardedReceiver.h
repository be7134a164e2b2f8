#pragma once
// A mailbox through which worker threads hand results to a QObject of the
// GUI thread by posting events (of the program's own types, EventTypes.h).
// The receiver owns one and closes it in its destructor; the workers hold
// shared references. Posting and closing take the same lock, so an event is
// either queued while the receiver still exists (and Qt drops it with the
// receiver) or discarded: a worker never reaches a freed receiver, whenever
// it finishes. post() from any thread; close() from the receiver's thread.

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

class QEvent;

namespace ComponentModel {

class GuardedReceiver {
public:
    explicit GuardedReceiver(QObject* receiver);
    GuardedReceiver(const GuardedReceiver&) = delete;
    GuardedReceiver& operator=(const GuardedReceiver&) = delete;

    // Takes ownership of the event; false when it was discarded.
    bool post(std::unique_ptr<QEvent> event);
    // Posts `call` to run on the receiver's thread (an event of the type
    // EventTypes::queuedCall), whose event() hands its events to handled().
    bool postCall(std::function<void()> call);
    // The receiver's event(): whether `event` was a call posted here, now
    // run. Marks any event delivered.
    bool handled(QEvent* event);
    void close();
    // Called by the receiver as it handles an event posted here. Qt hands
    // the event over inside its own library, which race checkers built into
    // our code cannot see; taking the lock the worker posted under makes the
    // same ordering visible to them. Costs one uncontended lock.
    void delivered();

private:
    std::mutex mutex_;
    QObject* receiver_;
};

} // namespace ComponentModel
