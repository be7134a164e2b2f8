#pragma once
// Calls on files that may never return (a look-up, an opening or a read on
// a network share that hangs), made on a thread of a read_threads set so
// that whoever waits for them can leave: the wait gives up once the
// caller's read_interruption (files/DTAbandonableRead.h) is switched on, or once
// an optional patience has run out.
//
// Before each step that may wait, a call says which file system the step
// asks (call_steps::asking): a call given up keeps one of the set's places
// on that file system until it returns, moving it as it moves on (a link
// from this machine's disk into a share counts on the share), and a step
// on a file system whose places are all taken is not made: the call is
// refused as a file that does not answer. A patience counts only the time
// the file system kept the call waiting (files/DTUnansweredTime.h), never
// the time it waited for a thread or a processor. A wait that lasts is
// listed with the file and why (files/DTLongWaits.h).
//
// Threads: a call_state is shared by its caller and the call on the set's
// thread; see the members for who may touch what.

#include "files/DTFileRefusal.h"
#include "files/DTLongWaits.h"
#include "files/DTReadThreads.h"
#include "files/DTUnansweredTime.h"

#include <boost/noncopyable.hpp>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace kestrel {

class read_interruption;
typedef std::shared_ptr<read_interruption> read_interruption_ptr;

// What a call tells of its steps, from its own thread.
class call_steps {
public:
    // Before a step that may wait for a file system: it asks `file_system`,
    // and a long wait then waits because `why` (it does not answer, or a
    // lease is not let go). False when
    // every place of that file system for calls left waiting is taken: the
    // step must not be made.
    virtual bool asking(file_system_id file_system, file_refusal why = file_refusal::does_not_answer) = 0;

protected:
    ~call_steps() = default;
};

// Steps made on the caller's own thread: refused only where the places of
// their file system are all taken.
class steps_in_place : public call_steps {
public:
    explicit steps_in_place(read_threads threads = read_threads::process()) : threads_(std::move(threads)) {}
    bool asking(file_system_id file_system, file_refusal why = file_refusal::does_not_answer) override;

private:
    read_threads threads_;
};

// What a caller and its calls on the set's threads share; a call keeps it
// alive while it runs. While a call is under way (asked, not answered) its
// resources are the call's, otherwise the caller's.
class call_state : public call_steps, private boost::noncopyable {
public:
    call_state(read_threads threads, std::string file) : threads(std::move(threads)), file(std::move(file)) {}

    // On the call's thread.
    bool asking(file_system_id file_system, file_refusal why = file_refusal::does_not_answer) override;

    // Runs `call` on a thread of the set, or here when none can be started
    // (without a way out then).
    void ask(const std::function<void()>& call);
    // Under `lock`, on the call's thread: the call answered. Gives its place
    // back; the caller's wait ends.
    void answer(std::unique_lock<std::mutex>& lock);

    // Under `lock`, by the caller: waits until `ready`. Without an
    // interruption nor patience as long as it takes; else gives up (the call
    // keeps a place) once the interruption is or was switched on and one
    // more look has passed (a call that answers at once is not given up for
    // a stop that comes while it runs), or once the interruption's
    // deadline has passed and the call has had a moment
    // (files/DTStopDeadline.h): read_interrupted; or once `patience` (zero:
    // the patience of the caller's scope, if any) has passed:
    // refusal_failure(file_refusal::does_not_answer) (files/DTFileRefusal.h).
    void wait(std::unique_lock<std::mutex>& lock, const read_interruption* interruption,
              const std::function<bool()>& ready,
              std::chrono::steady_clock::duration patience = std::chrono::steady_clock::duration::zero());
    // Under the mutex, by the caller: gives up on the call under way, which
    // keeps a place until it answers.
    void give_up();
    // Under the mutex.
    bool call_under_way() const { return outstanding && !answered; }

    std::mutex mutex;
    std::condition_variable answered_changed;
    read_threads threads;
    const std::string file; // named in a long wait
    // Set by the caller, under the mutex.
    bool outstanding = false; // a call asked whose answer the caller has not taken
    bool closing = false;     // the caller left
    // Set by the calls, under the mutex.
    bool answered = false;
    // The file system the call under way asks, and why a wait lasts.
    file_system_id file_system = 0;
    file_refusal why = file_refusal::does_not_answer;
    unanswered_clock clock; // of the call under way, begun on its thread

private:
    bool holds_place_ = false; // the caller gave up on the call under way
    file_system_id place_file_system_ = 0;
};

// Runs `body` as a call and waits for it within the caller's scope, with
// `patience` (zero: the scope's, if any): its result, or what it throws; read_interrupted
// or refusal_failure(file_refusal::does_not_answer) when given up. Outside any scope and without
// patience it runs on the caller's thread. `body` must own whatever it
// uses: given up, it runs on after the caller has left.
template <class Result>
Result abandonable_call(const std::string& file, std::function<Result(call_steps&)> body,
                        std::chrono::steady_clock::duration patience = std::chrono::steady_clock::duration::zero(),
                        read_threads threads = read_threads::process());

// The untyped heart of abandonable_call: `body` keeps its result itself.
void run_abandonable(const std::string& file, std::function<void(call_steps&)> body,
                     std::chrono::steady_clock::duration patience, read_threads threads);
// The same, watching `interruption` (may be null) instead of the caller's
// scope's (whose patience still counts when `patience` is zero): for a file
// made within one scope and used from others. Without an interruption and
// a patience it runs on the caller's thread.
void run_abandonable_watching(const std::string& file, std::function<void(call_steps&)> body,
                              const read_interruption_ptr& interruption,
                              std::chrono::steady_clock::duration patience, read_threads threads);

// Runs `body` as a call nobody waits for (a close, a removal that must
// happen whenever the file system answers): once `file_system` has kept it
// waiting (read_threads::unanswered_after) it keeps one of that file
// system's places until it returns, so that a file system that hangs holds
// a bounded number of them while one that answers holds none; a wait that lasts is
// never listed (nobody waits). Runs on the caller's thread when no
// thread can be started. `body` must own whatever it uses and not throw.
void leave_to_itself(file_system_id file_system, std::function<void()> body,
                     read_threads threads = read_threads::process());

// Closes `fd` without waiting: at once on this machine's disk, else by a
// call left to itself (a close on a share flushes, and may hang).
void close_left_to_itself(int fd, read_threads threads = read_threads::process());

template <class Result>
Result abandonable_call(const std::string& file, std::function<Result(call_steps&)> body,
                        std::chrono::steady_clock::duration patience, read_threads threads) {
    const auto result = std::make_shared<std::optional<Result>>();
    run_abandonable(
        file, [result, body = std::move(body)](call_steps& steps) { result->emplace(body(steps)); }, patience,
        std::move(threads));
    return std::move(**result);
}

} // namespace kestrel
