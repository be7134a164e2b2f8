#pragma once
// A small, persistent team of threads that share the rows of one frame
// between them, so that drawing a picture into a large frame uses several
// processors. The caller works too: run() hands out bands of rows to the
// helpers and to itself and returns when every row is done.
//
// One run at a time: run() is called by one thread (the one rendering,
// under the renderer's lock). The job must not throw. The helpers start
// with the first run and are stopped and joined by the destructor.

#include <boost/noncopyable.hpp>
#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/thread/thread.hpp>

#include <atomic>
#include <functional>

namespace kestrel {
namespace slideshow2 {

class row_workers : private boost::noncopyable {
public:
    // Draws rows [first, last).
    typedef std::function<void(int first, int last)> row_job;

    // `helpers` threads besides the caller; 0 runs every job on the caller.
    explicit row_workers(unsigned helpers);
    ~row_workers();

    void run(int rows, const row_job& job);

    // The helper count for a renderer: one per further processor, at most 7.
    static unsigned default_helpers();

private:
    void start_helpers();
    void helper_loop();
    // Takes bands until none is left.
    void work();

    const unsigned helper_count_;
    boost::thread_group threads_;
    bool started_ = false;

    boost::mutex mutex_;
    boost::condition_variable job_posted_;
    boost::condition_variable job_done_;
    unsigned long long generation_ = 0; // counts posted jobs
    unsigned busy_helpers_ = 0;
    bool stopping_ = false;

    // The current job, read by the helpers after they saw its generation.
    const row_job* job_ = nullptr;
    int rows_ = 0;
    int band_ = 1;
    std::atomic<int> next_row_{0};
};

} // namespace slideshow2
} // namespace kestrel
