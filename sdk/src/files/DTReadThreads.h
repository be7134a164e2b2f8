#pragma once
// The threads that open and read the files of abandonable_file
// (files/DTAbandonableRead.h). A job (one call: an opening, a read) runs on a
// thread that waits for work, else on a new one; a thread whose job is
// done waits a few seconds for the next, then ends. Starting a thread for
// every call would cost more than reading a photo.
//
// A call given up on a file that never answers (a share that hangs) keeps
// its thread, and the file's descriptor, until the call returns, which may
// be never. So a set counts the calls left waiting so, per file system
// (files/DTFileSystem.h): once a file system has max_left_waiting, full() tells
// whoever would make a new call on it to refuse it at once without a
// thread, and a call that comes back gives its place back. Files on other
// file systems are read as before: one share that hangs costs the rest
// nothing. (Calls already under way when the places filled may still be
// left waiting, one per file at most.) A call nobody waits for (a close
// left to itself) takes a place only once its file system has kept it
// waiting unanswered_after, not counting the time its thread ran or waited
// for a processor (files/DTUnansweredTime.h): a disk that answers, however
// busy the machine, never fills its places.
//
// Threads: any. A read_threads is a handle: copies share one set, and each
// job's thread keeps the set alive, so a handle may go while jobs run.

#include "files/DTFileSystem.h"

#include <chrono>
#include <functional>
#include <memory>

namespace kestrel {

class read_threads {
public:
    // Runs `body` on a new thread that nobody joins, or throws (best a
    // std::system_error) without running it.
    typedef std::function<void(std::function<void()> body)> thread_starter;

    static constexpr int max_left_waiting = 4;
    // How long a call left to itself waits unanswered before it counts.
    static constexpr std::chrono::milliseconds unanswered_after{500};

    // The set of the process, which every abandonable_file uses unless it
    // is given another; never destroyed.
    static read_threads& process();

    explicit read_threads(thread_starter start = start_detached_thread);

    // Runs `job` (which must not throw) on a waiting thread, else on a new
    // one; false, the job dropped, when no thread could be started.
    bool run(std::function<void()> job);

    // Places among the calls left waiting on a file system: full when all
    // of its places are taken. A call given up keeps one, even past the
    // limit, until it returns.
    bool full(file_system_id file_system) const;
    void take_place(file_system_id file_system);
    void give_back_place(file_system_id file_system);
    // Gives the place back on `from` and takes one on `to` in one step, so
    // that the calls left waiting are never counted one short meanwhile;
    // false, the place given back only, when `to` is full.
    bool move_place(file_system_id from, file_system_id to);
    // A call left to itself on `file_system` begins, on its own thread;
    // the number it gives ends it.
    unsigned long long left_call_began(file_system_id file_system);
    void left_call_ended(unsigned long long call);
    // The calls of the set left waiting now, on all file systems.
    int left_waiting() const;

    // The starter of every set but those given another: std::thread.
    static void start_detached_thread(std::function<void()> body);

private:
    struct shared;
    std::shared_ptr<shared> shared_;
};

} // namespace kestrel
