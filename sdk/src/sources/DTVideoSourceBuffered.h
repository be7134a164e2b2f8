#pragma once
// Reads pictures ahead from an inner video source on a thread of its own
// and keeps up to seven of them queued, so that making a picture overlaps
// with using the previous one. Read and advance are answered from the
// queue; a failure of the inner source on the read-ahead thread reaches the
// reader as the same exception.
//
// A reader that must not wait for a file (the window's thread) reads with
// read_now(): a queued picture, the end, or "not yet". Its advance() never
// waits for the thread: it drops what the queue holds and leaves the rest
// to the thread, which moves on by it before it queues anything more, and
// until then read_now() says "not yet". The thread makes its pictures and
// moves the inner source without holding any lock a reader takes.
//
// give_up() ends the reading ahead without waiting for the thread, which
// may sit in a read of the inner source that does not answer: the owner
// keeps this object (and so the inner source) until ended(), or until it
// has made the inner source's waits give up and the destructor joins.

#include "sources/DTMediaSource.h"

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/thread/thread.hpp>

#include <deque>
#include <exception>

namespace kestrel {

class video_source_buffered : public video_source {
public:
    // The owner keeps the inner source alive for this object's life.
    explicit video_source_buffered(video_source* inner);
    // Stops the thread, then logs the read statistics.
    ~video_source_buffered() override;

    // Stops a running thread, empties the queue and reads ahead anew from
    // the inner source's position.
    void start();
    // Stops and joins the read-ahead thread; the queue keeps what it holds.
    void stop();
    // Asks the thread to stop and empties the queue without waiting; the
    // source is not started again. The destructor joins the thread.
    void give_up();
    // No read-ahead thread runs any more (joining it would not wait).
    bool ended() const;

    double duration() const override { return inner_->duration(); }
    // The start of the next picture read() gives.
    double position() const override;
    double advance(double dt) override;
    bool enabled() const override { return inner_->enabled(); }
    void set_enabled(bool enabled) override { inner_->set_enabled(enabled); }
    // The next queued picture, waiting for one while the thread runs; an
    // empty pointer at the inner source's end and, at once, when no thread
    // runs and nothing is queued.
    video_data_timed_ptr read() override;
    // A picture is queued, or read() would answer at once that none comes.
    bool picture_at_hand() const override;
    // Never waits: "not yet" while the queue is empty and the thread runs,
    // or while an advance is left to it.
    answer read_now(video_data_timed_ptr& picture) override;
    video_format_ptr format() const override { return inner_->format(); }
    double frame_rate() const override { return inner_->frame_rate(); }

private:
    enum { no_request = 0, advance_requested = 1, stop_requested = 2 };

    void main_thread();
    void read_ahead();
    // Answers a pending request; false when the thread is to end. Marks
    // the thread as making a picture when it has none in hand, and moves
    // the inner source without the state lock.
    bool serve_request();
    // Queues the picture in hand unless a request came first; false when
    // the queue is full or a request waits.
    bool queue_hand();
    // Drops queued pictures until `target`, with the state lock held.
    void drop_queued_until(double target);
    // Drops dt ms of pictures: queued ones first, then the one in hand.
    // Runs with the state lock held; returns what is left to drop inside
    // the inner source.
    double serve_advance(double dt);
    void request_stop();
    void finish(std::exception_ptr error);
    void rethrow_pending_error();

    mutable boost::mutex state_mutex_; // position, requests, serving
    video_source* inner_;
    std::deque<video_data_timed_ptr> queue_; // empty entries mark the end
    mutable boost::mutex queue_mutex_;       // queue, producing, error
    boost::condition_variable not_full_;
    boost::condition_variable not_empty_;
    const std::size_t capacity_ = 7;
    boost::thread thread_;
    double position_ = 0.0;
    int request_ = no_request;
    double request_amount_ = 0.0;
    unsigned int pictures_read_ = 0;
    double total_read_time_ = 0.0; // seconds inside the inner read

    bool serving_ = false;    // the thread answers requests
    bool making_ = false;     // the thread is inside the inner read
    bool producing_ = false;  // the thread may still queue pictures
    std::exception_ptr error_; // what ended the thread, for the reader
    // Read from the inner source but not yet queued; touched by the thread
    // while it runs, else by whoever holds the state lock.
    bool holding_ = false;
    video_data_timed_ptr hand_;
};

} // namespace kestrel
