#include "net/HostResolver.h"

#include <boost/asio/error.hpp>
#include <boost/asio/post.hpp>

#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>

namespace urdl {
namespace detail {

namespace {

// Constant-initialised and never destroyed: a look-up's thread may still
// leave its function while the process ends.
std::atomic<int> lookups_inside{0};

// Takes a place among the waiting look-ups; false when all are taken.
bool take_lookup_place() {
    int taken = lookups_inside.load();
    do {
        if (taken >= host_resolver::max_waiting_lookups)
            return false;
    } while (!lookups_inside.compare_exchange_weak(taken, taken + 1));
    return true;
}

struct lookup_place {
    lookup_place() = default;
    lookup_place(const lookup_place&) = delete;
    lookup_place& operator=(const lookup_place&) = delete;
    ~lookup_place() { lookups_inside.fetch_sub(1); }
};

// Why `body` could not be started; success once it runs.
boost::system::error_code start_thread(const host_resolver::thread_starter& start, std::function<void()> body) {
    try {
        start(std::move(body));
    } catch (const std::system_error& error) {
        return boost::system::error_code(error.code().value(), boost::system::system_category());
    } catch (...) {
        return boost::asio::error::no_memory;
    }
    return boost::system::error_code();
}

} // namespace

// What the look-up's thread and the resolver share. The thread only locks
// the mutex and, while `io` is set, posts the answer to it; the resolver
// clears `io` before it goes, so no answer is posted to a context that may
// be gone. `owner` is read and written on the context's thread only: a
// posted answer finds it empty once the resolver stopped waiting.
struct host_resolver::shared_state {
    std::mutex mutex;
    boost::asio::io_context* io = nullptr;
    host_resolver* owner = nullptr;

    // On the context's thread.
    static void post_answer(boost::asio::io_context& io, const std::shared_ptr<shared_state>& state,
                            const boost::system::error_code& ec, const host_lookup::addresses& found) {
        boost::asio::post(io, [state, ec, found] {
            if (state->owner)
                state->owner->deliver(ec, found);
        });
    }
};

host_resolver::host_resolver(boost::asio::io_context& io, thread_starter start_thread)
    : io_(io), start_thread_(std::move(start_thread)) {}

host_resolver::~host_resolver() { abandon(); }

void host_resolver::async_resolve(const host_lookup::function& lookup, const std::string& host,
                                  const std::string& port, handler done) {
    abandon();
    auto state = std::make_shared<shared_state>();
    state->io = &io_;
    state->owner = this;
    pending_ = state;
    done_ = std::move(done);
    work_.emplace(io_.get_executor());
    if (!take_lookup_place()) {
        shared_state::post_answer(io_, state, boost::asio::error::host_not_found_try_again,
                                  host_lookup::addresses());
        return;
    }
    const boost::system::error_code not_started = start_thread(start_thread_, [state, lookup, host, port] {
        host_lookup::addresses found;
        boost::system::error_code ec;
        {
            // Given back as the function returns, before the answer goes:
            // a requester that has its answer may start its next look-up at
            // once, and must find the place its last one took free.
            const lookup_place place;
            try {
                ec = lookup(host, port, found);
            } catch (...) {
                ec = boost::asio::error::no_memory;
            }
        }
        std::lock_guard<std::mutex> lock(state->mutex);
        if (state->io)
            shared_state::post_answer(*state->io, state, ec, found);
    });
    if (not_started) {
        // The body never ran, so it never gave its place back.
        lookups_inside.fetch_sub(1);
        shared_state::post_answer(io_, state, not_started, host_lookup::addresses());
    }
}

void host_resolver::cancel() {
    if (!pending_)
        return;
    {
        std::lock_guard<std::mutex> lock(pending_->mutex);
        pending_->io = nullptr;
    }
    shared_state::post_answer(io_, pending_, boost::asio::error::operation_aborted, host_lookup::addresses());
}

void host_resolver::deliver(const boost::system::error_code& ec, const host_lookup::addresses& found) {
    abandon();
    handler done = std::move(done_);
    done_ = nullptr;
    if (done)
        done(ec, found);
}

int host_resolver::waiting_lookups() { return lookups_inside.load(); }

void host_resolver::start_detached_thread(std::function<void()> body) { std::thread(std::move(body)).detach(); }

void host_resolver::abandon() {
    if (!pending_)
        return;
    {
        std::lock_guard<std::mutex> lock(pending_->mutex);
        pending_->io = nullptr;
    }
    pending_->owner = nullptr;
    pending_.reset();
    work_.reset();
}

} // namespace detail
} // namespace urdl
