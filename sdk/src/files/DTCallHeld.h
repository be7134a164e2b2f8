#pragma once
// Something on a file system that may never answer (a file being written,
// an unfinished video in its folder), touched only by calls on a thread of
// a read_threads set (files/DTAbandonableCall.h), one after another: the owner's
// thread never waits for the file system itself. Each step waits with the
// interruption given at the start (a stop) and the step's patience; a step
// given up goes on, and the steps after it, on their threads, wait for
// their turn behind it. Once a step has been given up the holder takes no
// more (they throw read_interrupted at once): whoever stopped it is ending.
//
// The resource goes by its own destructor, as a last step nobody waits for
// (a call left to itself, files/DTAbandonableCall.h), in its turn: left behind,
// it is done when the file system answers. A wait that lasts names `file`.
//
// Threads: the holder belongs to one thread at a time; its steps run on
// the set's threads and must own what they use besides the resource.

#include "base/DTErrors.h"
#include "files/DTAbandonableCall.h"
#include "files/DTFileSystem.h"
#include "files/DTReadInterruption.h"

#include <boost/noncopyable.hpp>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace kestrel {

template <class Resource>
class call_held : private boost::noncopyable {
public:
    // `interruption` may be null: steps then wait as long as they take
    // unless they have a patience.
    call_held(std::string file, read_interruption_ptr interruption, read_threads threads = read_threads::process())
        : file_(std::move(file)), interruption_(std::move(interruption)), threads_(std::move(threads)),
          shared_(std::make_shared<shared>()) {}
    ~call_held() {
        if (!ended_)
            end();
    }

    // The file system the steps ask, as far as the owner knows it: a step
    // left waiting keeps one of its places.
    void set_file_system(file_system_id file_system) { file_system_ = file_system; }
    void set_file(std::string file) { file_ = std::move(file); }
    const std::string& file() const { return file_; }
    // Whether a step was given up: later steps are refused.
    bool given_up() const { return given_up_; }

    // Makes the resource, or runs a step on it (made by then), as a call:
    // its result, or what it throws; read_interrupted, or the refusal
    // does_not_answer, when given up; the refusal earlier_calls_wait when
    // the file system's places are all taken (files/DTFileRefusal.h). A step that
    // does not heed the stop (a clean-up after it) is made also after one
    // was given up, in its turn, and waits only for its patience.
    template <class Result>
    Result step(std::function<Result(std::optional<Resource>&)> body,
                std::chrono::steady_clock::duration patience = std::chrono::steady_clock::duration::zero(),
                bool heeding_stop = true) {
        if (given_up_ && heeding_stop)
            KESTREL_THROW(read_interrupted());
        const auto result = std::make_shared<std::optional<Result>>();
        run(
            [result, body = std::move(body)](std::optional<Resource>& resource) { result->emplace(body(resource)); },
            heeding_stop ? interruption_ : read_interruption_ptr(), patience);
        return std::move(**result);
    }

    // Changes the resource here, on the owner's thread, while no step holds
    // it (none was given up, and it has not ended): for a change that makes
    // no file call. False, with nothing done, otherwise.
    bool change_here(const std::function<void(std::optional<Resource>&)>& body) {
        if (given_up_ || ended_)
            return false;
        const std::lock_guard<std::mutex> turn(shared_->turn);
        body(shared_->resource);
        return true;
    }

    // Ends the resource (its destructor) as the last step, without a
    // wait; a later step finds no resource.
    void end() {
        ended_ = true;
        const std::shared_ptr<shared> state = shared_;
        leave_to_itself(
            file_system_,
            [state] {
                const std::lock_guard<std::mutex> turn(state->turn);
                state->resource.reset();
            },
            threads_);
    }

private:
    struct shared {
        std::mutex turn; // held by the step that touches the resource
        std::optional<Resource> resource;
        std::atomic<unsigned long long> steps_done{0};
    };

    void run(std::function<void(std::optional<Resource>&)> body, const read_interruption_ptr& interruption,
             std::chrono::steady_clock::duration patience) {
        const std::shared_ptr<shared> state = shared_;
        const file_system_id file_system = file_system_;
        const unsigned long long asked = ++steps_asked_;
        try {
            run_abandonable_watching(
                file_,
                [state, file_system, body = std::move(body)](call_steps& steps) {
                    struct counted {
                        shared& state;
                        ~counted() { ++state.steps_done; }
                    } count{*state};
                    if (!steps.asking(file_system))
                        KESTREL_THROW(refusal_failure(file_refusal::earlier_calls_wait));
                    const std::lock_guard<std::mutex> turn(state->turn);
                    body(state->resource);
                },
                interruption, patience, threads_);
        } catch (...) {
            // A step that has not come back still holds, or waits for, the
            // resource.
            if (state->steps_done < asked)
                given_up_ = true;
            throw;
        }
    }

    std::string file_;
    read_interruption_ptr interruption_;
    read_threads threads_;
    std::shared_ptr<shared> shared_;
    file_system_id file_system_ = 0;
    unsigned long long steps_asked_ = 0;
    bool given_up_ = false;
    bool ended_ = false;
};

} // namespace kestrel
