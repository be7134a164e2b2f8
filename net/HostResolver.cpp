#include "net/HostResolver.h"

#include <boost/asio/error.hpp>
#include <boost/asio/post.hpp>

#include <mutex>
#include <system_error>
#include <thread>

namespace urdl {
namespace detail {

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

host_resolver::host_resolver(boost::asio::io_context& io) : io_(io) {}

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
    try {
        std::thread([state, lookup, host, port] {
            host_lookup::addresses found;
            boost::system::error_code ec;
            try {
                ec = lookup(host, port, found);
            } catch (...) {
                ec = boost::asio::error::no_memory;
            }
            std::lock_guard<std::mutex> lock(state->mutex);
            if (state->io)
                shared_state::post_answer(*state->io, state, ec, found);
        }).detach();
    } catch (const std::system_error& error) {
        shared_state::post_answer(io_, state,
                                  boost::system::error_code(error.code().value(), boost::system::system_category()),
                                  host_lookup::addresses());
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
