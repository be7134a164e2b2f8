#include "sources/DTVideoSourceBuffered.h"

#include "base/DTLog.h"

#include <boost/chrono/duration.hpp>

#include <chrono>

namespace kestrel {

namespace {
// Bounds every wait for room or for a picture, so that a missed wake-up
// costs little and the thread notices requests while the queue is full.
const boost::chrono::milliseconds wait_step(10);
} // namespace

video_source_buffered::video_source_buffered(video_source* inner) : inner_(inner) {}

video_source_buffered::~video_source_buffered() {
    stop();
    log_line(logger::info()) << "[video_source_buffered] total read time: " << total_read_time_
                             << std::endl;
    log_line(logger::info()) << "[video_source_buffered] avg read fps: "
                             << (total_read_time_ > 0.0 ? pictures_read_ / total_read_time_ : 0.0)
                             << std::endl;
}

void video_source_buffered::start() {
    stop();
    std::deque<video_data_timed_ptr> dropped;
    {
        boost::lock_guard<boost::mutex> queue(queue_mutex_);
        dropped.swap(queue_);
        producing_ = true;
        error_ = nullptr;
    }
    not_full_.notify_one();
    dropped.clear();
    holding_ = false;
    hand_.reset();
    {
        boost::lock_guard<boost::mutex> state(state_mutex_);
        serving_ = true;
    }
    try {
        thread_ = boost::thread(&video_source_buffered::main_thread, this);
    } catch (...) {
        finish(nullptr);
        throw;
    }
}

void video_source_buffered::stop() {
    if (!thread_.joinable())
        return;
    request_stop();
    thread_.join();
    boost::lock_guard<boost::mutex> state(state_mutex_);
    request_ = no_request;
}

void video_source_buffered::give_up() {
    request_stop();
    std::deque<video_data_timed_ptr> dropped;
    {
        boost::lock_guard<boost::mutex> queue(queue_mutex_);
        dropped.swap(queue_);
    }
    not_full_.notify_one();
}

bool video_source_buffered::ended() const {
    boost::lock_guard<boost::mutex> state(state_mutex_);
    return !serving_;
}

void video_source_buffered::request_stop() {
    boost::lock_guard<boost::mutex> state(state_mutex_);
    request_ = stop_requested;
}

double video_source_buffered::position() const {
    boost::lock_guard<boost::mutex> state(state_mutex_);
    return position_;
}

void video_source_buffered::main_thread() {
    log_line(logger::trace()) << "BUF : enter main_thread" << std::endl;
    std::exception_ptr error;
    try {
        read_ahead();
    } catch (...) {
        error = std::current_exception();
    }
    log_line(logger::trace()) << "BUF : exit from main_thread" << std::endl;
    finish(error);
}

void video_source_buffered::read_ahead() {
    {
        boost::lock_guard<boost::mutex> state(state_mutex_);
        position_ = inner_->position();
    }
    while (serve_request()) {
        if (!holding_) {
            const auto begin = std::chrono::steady_clock::now();
            hand_ = inner_->read();
            const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - begin;
            total_read_time_ += spent.count();
            ++pictures_read_;
            holding_ = true;
            {
                boost::lock_guard<boost::mutex> state(state_mutex_);
                making_ = false;
            }
            // An advance asked while the picture was made comes before it
            // is queued: it may drop it.
            continue;
        }
        if (queue_hand()) {
            not_empty_.notify_one();
            continue;
        }
        // Full, or a request waits: look at the requests, then wait again.
        boost::unique_lock<boost::mutex> queue(queue_mutex_);
        if (queue_.size() >= capacity_)
            not_full_.wait_for(queue, wait_step);
    }
}

bool video_source_buffered::queue_hand() {
    boost::lock_guard<boost::mutex> state(state_mutex_);
    if (request_ != no_request)
        return false;
    boost::lock_guard<boost::mutex> queue(queue_mutex_);
    if (queue_.size() >= capacity_)
        return false;
    queue_.push_back(hand_);
    hand_.reset();
    holding_ = false;
    return true;
}

bool video_source_buffered::serve_request() {
    double inside = 0.0;
    {
        boost::lock_guard<boost::mutex> state(state_mutex_);
        switch (request_) {
        case no_request:
            making_ = !holding_;
            return true;
        case advance_requested:
            inside = serve_advance(request_amount_);
            request_ = no_request;
            // Advances asked while the inner source moves are left to the
            // thread as new requests.
            making_ = !holding_ || inside > 0.0;
            break;
        case stop_requested:
            request_ = no_request;
            return false;
        default:
            return false;
        }
    }
    if (inside > 0.0) {
        // Moving may render, and so wait for a photo's file: no lock held.
        inner_->advance(inside);
        const double moved = inner_->position();
        boost::lock_guard<boost::mutex> state(state_mutex_);
        position_ = moved;
    }
    return true;
}

void video_source_buffered::drop_queued_until(double target) {
    while (position_ < target) {
        video_data_timed_ptr front;
        {
            boost::lock_guard<boost::mutex> queue(queue_mutex_);
            // The end stays queued for the reader.
            if (queue_.empty() || !queue_.front())
                return;
            front = queue_.front();
            queue_.pop_front();
        }
        not_full_.notify_one();
        position_ += front->duration;
    }
}

double video_source_buffered::serve_advance(double dt) {
    const double target = position_ + dt;
    drop_queued_until(target);
    bool at_end = false;
    {
        boost::lock_guard<boost::mutex> queue(queue_mutex_);
        if (position_ < target && !queue_.empty() && !queue_.front()) {
            queue_.pop_front();
            at_end = true;
        }
    }
    if (position_ >= target)
        return 0.0; // what is still queued or in hand follows on from here
    if (!at_end && holding_) {
        at_end = !hand_;
        if (hand_)
            position_ += hand_->duration;
        hand_.reset();
        holding_ = false;
        if (position_ >= target)
            return 0.0;
    }
    return target - position_;
}

double video_source_buffered::advance(double dt) {
    boost::unique_lock<boost::mutex> state(state_mutex_);
    if (!serving_) { // no thread to ask: nothing can change under us
        const double inside = serve_advance(dt);
        if (inside > 0.0) {
            inner_->advance(inside);
            position_ = inner_->position();
        }
        return position_;
    }
    if (request_ == stop_requested)
        return position_;
    // The thread may wait long for its picture: the queue serves what it
    // can, the thread the rest before it queues anything more.
    const double target = position_ + dt + (request_ == advance_requested ? request_amount_ : 0.0);
    drop_queued_until(target);
    if (position_ < target) {
        request_ = advance_requested;
        request_amount_ = target - position_;
    }
    return position_;
}

video_data_timed_ptr video_source_buffered::read() {
    boost::unique_lock<boost::mutex> queue(queue_mutex_);
    while (queue_.empty()) {
        if (error_) {
            queue.unlock();
            rethrow_pending_error();
            queue.lock();
            continue;
        }
        if (!producing_)
            return video_data_timed_ptr();
        not_empty_.wait_for(queue, wait_step);
    }
    video_data_timed_ptr entry = queue_.front();
    queue_.pop_front();
    queue.unlock();
    not_full_.notify_one();
    if (entry) {
        boost::lock_guard<boost::mutex> state(state_mutex_);
        position_ += entry->duration;
    }
    return entry;
}

video_source::answer video_source_buffered::read_now(video_data_timed_ptr& picture) {
    picture.reset();
    video_data_timed_ptr entry;
    {
        boost::lock_guard<boost::mutex> state(state_mutex_);
        if (request_ == advance_requested)
            return answer::not_yet; // what is queued may be dropped yet
        boost::unique_lock<boost::mutex> queue(queue_mutex_);
        if (queue_.empty()) {
            if (!error_)
                return producing_ ? answer::not_yet : answer::end;
            std::exception_ptr error;
            error.swap(error_);
            queue.unlock();
            std::rethrow_exception(error);
        }
        entry = queue_.front();
        queue_.pop_front();
        if (entry)
            position_ += entry->duration;
    }
    not_full_.notify_one();
    picture = entry;
    return entry ? answer::picture : answer::end;
}

bool video_source_buffered::picture_at_hand() const {
    boost::lock_guard<boost::mutex> queue(queue_mutex_);
    return !queue_.empty() || !producing_ || error_;
}

void video_source_buffered::rethrow_pending_error() {
    std::exception_ptr error;
    {
        boost::lock_guard<boost::mutex> queue(queue_mutex_);
        error.swap(error_);
    }
    if (error)
        std::rethrow_exception(error);
}

void video_source_buffered::finish(std::exception_ptr error) {
    // The error is in place before anyone can see that the thread has ended.
    {
        boost::lock_guard<boost::mutex> queue(queue_mutex_);
        producing_ = false;
        if (error)
            error_ = error;
    }
    not_empty_.notify_all();
    {
        boost::lock_guard<boost::mutex> state(state_mutex_);
        serving_ = false;
        making_ = false;
    }
}

} // namespace kestrel
