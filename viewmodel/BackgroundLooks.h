#pragma once
// Looks at paths (what stands there, what a folder holds) made off the
// window's thread, so that a share that hangs never holds the window.
//
// Each job runs on a thread of the library's reader set, at most
// read_threads::max_left_waiting at once and the rest queued in order: a
// share that hangs keeps no more of them than it keeps places for calls
// left waiting, and once those are taken the looks after them are refused
// at once. A job returns what to do with its answer; that runs on the
// owner's thread, as a posted event through a mailbox the destructor
// closes, so it never runs once its owner (whose member this is) is gone.
// The destructor also gives up the looks under way: a job still running
// then touches only what it owns.
//
// Without a thread to spare (none could be started) a look waits in the
// queue and is tried again a moment later: it is never made on the
// owner's thread.
//
// GUI thread only. A job must own whatever it uses and may throw only
// read_interrupted (given up for the destructor); its answer throws
// nothing.

#include "files/DTReadInterruption.h"

#include "files/DTReadThreads.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

namespace ComponentModel {
class GuardedReceiver;
}

namespace ViewModel {

class BackgroundLooks : public QObject {
public:
    using Answer = std::function<void()>;
    using Job = std::function<Answer()>;

    // The looks run on `threads` (the library's reader set unless a test
    // gives another).
    explicit BackgroundLooks(kestrel::read_threads threads = kestrel::read_threads::process());
    ~BackgroundLooks() override;

    // Queues `job`; its answer runs on this thread once it has ended.
    void run(Job job);

    bool event(QEvent* event) override;

private:
    void startQueued();

    std::shared_ptr<ComponentModel::GuardedReceiver> mailbox_;
    kestrel::read_interruption_ptr stop_;
    std::deque<Job> queued_;
    int running_ = 0;
    kestrel::read_threads threads_;
    QTimer retry_; // the queue again, once no thread could be started
};

} // namespace ViewModel
