#include "DTRowWorkers.h"

#include <algorithm>

namespace kestrel {
namespace slideshow2 {

row_workers::row_workers(unsigned helpers) : helper_count_(helpers) {}

row_workers::~row_workers() {
    {
        boost::lock_guard<boost::mutex> lock(mutex_);
        stopping_ = true;
    }
    job_posted_.notify_all();
    threads_.join_all();
}

unsigned row_workers::default_helpers() {
    const unsigned processors = boost::thread::hardware_concurrency();
    return processors > 1 ? std::min(processors - 1, 7u) : 0u;
}

void row_workers::start_helpers() {
    started_ = true;
    try {
        for (unsigned i = 0; i < helper_count_; ++i)
            threads_.create_thread([this] { helper_loop(); });
    } catch (const boost::thread_resource_error&) {
        // Fewer helpers only make drawing slower; the caller does the rest.
    }
}

void row_workers::run(int rows, const row_job& job) {
    if (rows <= 0)
        return;
    if (!started_)
        start_helpers();
    const int teams = static_cast<int>(threads_.size()) + 1;
    if (teams == 1 || rows < 16) {
        job(0, rows);
        return;
    }
    {
        boost::lock_guard<boost::mutex> lock(mutex_);
        job_ = &job;
        rows_ = rows;
        // Several bands per thread, so that one slow band does not hold
        // up the others.
        band_ = std::max(4, rows / (teams * 4));
        next_row_.store(0);
        busy_helpers_ = static_cast<unsigned>(threads_.size());
        ++generation_;
    }
    job_posted_.notify_all();
    work();
    boost::unique_lock<boost::mutex> lock(mutex_);
    while (busy_helpers_ > 0)
        job_done_.wait(lock);
    job_ = nullptr;
}

void row_workers::work() {
    for (;;) {
        const int first = next_row_.fetch_add(band_);
        if (first >= rows_)
            return;
        (*job_)(first, std::min(first + band_, rows_));
    }
}

void row_workers::helper_loop() {
    unsigned long long seen = 0;
    for (;;) {
        {
            boost::unique_lock<boost::mutex> lock(mutex_);
            while (!stopping_ && generation_ == seen)
                job_posted_.wait(lock);
            if (stopping_)
                return;
            seen = generation_;
        }
        work();
        {
            boost::lock_guard<boost::mutex> lock(mutex_);
            --busy_helpers_;
        }
        job_done_.notify_one();
    }
}

} // namespace slideshow2
} // namespace kestrel
