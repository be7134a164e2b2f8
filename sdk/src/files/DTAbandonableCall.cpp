#include "files/DTAbandonableCall.h"

#include "files/DTReadInterruption.h"
#include "files/DTStopDeadline.h"

#include <algorithm>
#include <cerrno>

#include <unistd.h>

namespace kestrel {

namespace {

// How often a waiting caller looks at its interruption, its patience and
// how long it has waited.
const std::chrono::milliseconds wait_look(50);

// While it lives, switching `interruption` on wakes `wake`.
class woken_by_stop {
public:
    woken_by_stop(const read_interruption* interruption, std::condition_variable& wake)
        : interruption_(interruption), wake_(wake) {
        if (interruption_)
            interruption_->add_wait(wake_);
    }
    ~woken_by_stop() {
        if (interruption_)
            interruption_->remove_wait(wake_);
    }
    woken_by_stop(const woken_by_stop&) = delete;
    woken_by_stop& operator=(const woken_by_stop&) = delete;

private:
    const read_interruption* const interruption_;
    std::condition_variable& wake_;
};

} // namespace

bool steps_in_place::asking(file_system_id file_system, file_refusal) { return !threads_.full(file_system); }

bool call_state::asking(file_system_id new_file_system, file_refusal new_why) {
    std::lock_guard<std::mutex> lock(mutex);
    why = new_why;
    // A call given up carries its place to the file system it asks now;
    // where those are all taken it makes no step there, and ends.
    if (holds_place_ && place_file_system_ != new_file_system) {
        holds_place_ = threads.move_place(place_file_system_, new_file_system);
        if (!holds_place_)
            return false;
        place_file_system_ = new_file_system;
    } else if (!holds_place_ && threads.full(new_file_system)) {
        return false;
    }
    file_system = new_file_system;
    return true;
}

void call_state::ask(const std::function<void()>& call) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        outstanding = true;
        answered = false;
        why = file_refusal::does_not_answer;
        clock = unanswered_clock();
    }
    // `call` keeps this state alive while it runs.
    const auto timed = [this, call] {
        {
            std::lock_guard<std::mutex> lock(mutex);
            clock.begin();
        }
        call();
    };
    if (!threads.run(timed))
        timed();
}

void call_state::answer(std::unique_lock<std::mutex>& lock) {
    answered = true;
    if (holds_place_) {
        holds_place_ = false;
        threads.give_back_place(place_file_system_);
    }
    lock.unlock();
    answered_changed.notify_all();
}

void call_state::give_up() {
    if (call_under_way() && !holds_place_) {
        holds_place_ = true;
        place_file_system_ = file_system;
        threads.take_place(place_file_system_);
    }
}

void call_state::wait(std::unique_lock<std::mutex>& lock, const read_interruption* interruption,
                      const std::function<bool()>& ready, std::chrono::steady_clock::duration patience) {
    if (patience == std::chrono::steady_clock::duration::zero())
        patience = current_read_patience();
    const auto start = std::chrono::steady_clock::now();
    const unsigned long long before = interruption ? interruption->times_on() : 0;
    bool seen_on = false;
    // A stop wakes this wait at once; one more look then lets a call that
    // was answering finish.
    const woken_by_stop woken(interruption, answered_changed);
    std::optional<long_wait_entry> listed;
    while (!ready()) {
        const auto now = std::chrono::steady_clock::now();
        // A stop's deadline gives up a call that has had a moment at least.
        const auto deadline = interruption ? std::max(interruption->give_up_time(), start + stop_moment)
                                           : std::chrono::steady_clock::time_point::max();
        const bool stopped = interruption && (interruption->on() || interruption->times_on() != before);
        if ((stopped && seen_on) || now >= deadline) {
            give_up();
            if (listed)
                listed->set_answered(false);
            KESTREL_THROW(read_interrupted());
        }
        seen_on = seen_on || stopped;
        const auto waited = now - start;
        if (patience != std::chrono::steady_clock::duration::zero() && waited >= patience &&
            clock.unanswered_for(patience)) {
            give_up();
            if (listed)
                listed->set_answered(false);
            KESTREL_THROW(refusal_failure(file_refusal::does_not_answer));
        }
        // Listed only once its file system has kept it waiting: a call
        // slowed by a busy machine is named nowhere.
        if (waited >= long_wait_after && (listed || clock.unanswered_for(long_wait_after))) {
            if (!listed)
                listed.emplace(file, why, start);
            else
                listed->set_why(why);
        }
        answered_changed.wait_until(lock, std::min(now + wait_look, deadline));
    }
}

void run_abandonable(const std::string& file, std::function<void(call_steps&)> body,
                     std::chrono::steady_clock::duration patience, read_threads threads) {
    run_abandonable_watching(file, std::move(body), current_read_interruption(), patience, std::move(threads));
}

void leave_to_itself(file_system_id file_system, std::function<void()> body, read_threads threads) {
    const bool started = threads.run([threads, file_system, body]() mutable {
        const unsigned long long call = threads.left_call_began(file_system);
        body();
        threads.left_call_ended(call);
    });
    if (!started)
        body();
}

void close_left_to_itself(int fd, read_threads threads) {
    if (fd < 0)
        return;
    if (on_local_disk(fd)) {
        ::close(fd);
        return;
    }
    leave_to_itself(file_system_of_descriptor(fd), [fd] { ::close(fd); }, std::move(threads));
}

void run_abandonable_watching(const std::string& file, std::function<void(call_steps&)> body,
                              const read_interruption_ptr& interruption,
                              std::chrono::steady_clock::duration patience, read_threads threads) {
    if (patience == std::chrono::steady_clock::duration::zero())
        patience = current_read_patience();
    if (!interruption && patience == std::chrono::steady_clock::duration::zero()) {
        steps_in_place steps(threads);
        body(steps);
        return;
    }
    if (interruption && interruption->on())
        KESTREL_THROW(read_interrupted());
    struct call final : call_state {
        using call_state::call_state;
        std::exception_ptr failure;
    };
    const auto state = std::make_shared<call>(threads, file);
    state->ask([state, body = std::move(body)] {
        std::exception_ptr failure;
        try {
            body(*state);
        } catch (...) {
            failure = std::current_exception();
        }
        std::unique_lock<std::mutex> lock(state->mutex);
        state->failure = failure;
        state->answer(lock);
    });
    std::unique_lock<std::mutex> lock(state->mutex);
    state->wait(lock, interruption.get(), [&state] { return state->answered; }, patience);
    state->outstanding = false;
    if (state->failure)
        std::rethrow_exception(state->failure);
}

} // namespace kestrel
