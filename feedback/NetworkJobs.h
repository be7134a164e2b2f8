#pragma once
// The network work of one online service, kept off Qt's global thread pool
// (the window's painting waits for that pool) and bounded: at most
// `running` jobs at once, each on a thread of the queue's own, and at most
// `waiting` more in line; a job posted to a full line pushes out the oldest
// waiting one. A job gets the queue's cancellation switch for its
// downloads, and gives them a time-out of their own.
//
// A job that is dropped (pushed out, posted after abandon(), or left
// waiting at abandon()) is destroyed without running: that is how its
// poster hears of it (a promise it holds goes unfulfilled). abandon()
// cancels the running jobs and drops the others, and waits for nothing. The
// threads are detached and own what they use (the line and their job), so a
// job still ending never touches the queue or its owner. The destructor
// abandons and then gives the running jobs a short grace to leave, so that
// in the usual case none outlives the statics of a process that is ending.
// All calls from any thread.

#include "net/Cancellation.h"

#include <functional>
#include <memory>

namespace Feedback {

class NetworkJobs {
public:
    typedef std::function<void(const urdl::cancellation& cancel)> Job;

    NetworkJobs(int running, int waiting);
    ~NetworkJobs();
    NetworkJobs(const NetworkJobs&) = delete;
    NetworkJobs& operator=(const NetworkJobs&) = delete;

    void post(Job job);
    void abandon();

    // Jobs running or waiting now.
    int pending() const;

private:
    struct Line;
    std::shared_ptr<Line> line_;
};

} // namespace Feedback
