#pragma once
// Host name look-ups that a request can walk away from. getaddrinfo cannot
// be interrupted, and a DNS server that never answers holds it for tens of
// seconds; Asio's resolver would make a cancelled request, and the end of
// its I/O context, wait for that. Here each look-up runs on a detached
// thread of its own that owns copies of the look-up function, the host and
// the port, and hands the answer back through a state shared with the
// resolver; cancel() or the resolver's end abandons it at once, and a late
// answer is dropped without touching the request. At most one look-up at a
// time; all calls on the thread that runs the I/O context, which must
// outlive the resolver.
//
// An abandoned look-up keeps its thread until the look-up function returns,
// which for a DNS server that never answers may be never. So the process
// lets at most max_waiting_lookups look-ups be inside their function at
// once, abandoned ones included; past that a new look-up fails at once with
// host_not_found_try_again, the temporary failure (EAI_AGAIN) it stands for,
// and no thread is started. A thread that cannot be started fails the
// look-up with the starter's error.

#include "net/HostLookup.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace urdl {
namespace detail {

class host_resolver {
public:
    typedef std::function<void(const boost::system::error_code&, const host_lookup::addresses&)> handler;
    // Runs `body` on a new thread that nobody joins, or throws (best a
    // std::system_error) without running it.
    typedef std::function<void(std::function<void()> body)> thread_starter;

    static constexpr int max_waiting_lookups = 4;

    explicit host_resolver(boost::asio::io_context& io, thread_starter start_thread = start_detached_thread);
    ~host_resolver();
    host_resolver(const host_resolver&) = delete;
    host_resolver& operator=(const host_resolver&) = delete;

    // `done` runs on the I/O context's thread, never from within this call:
    // with the answer, or with operation_aborted when cancelled.
    void async_resolve(const host_lookup::function& lookup, const std::string& host, const std::string& port,
                       handler done);
    // Ends the pending look-up at once; nothing pending, nothing happens.
    void cancel();

    // The look-ups of the process inside their look-up function now.
    static int waiting_lookups();
    // The starter of every resolver but those given another: std::thread.
    static void start_detached_thread(std::function<void()> body);

private:
    struct shared_state;

    void abandon();
    void deliver(const boost::system::error_code& ec, const host_lookup::addresses& found);

    boost::asio::io_context& io_;
    const thread_starter start_thread_;
    std::shared_ptr<shared_state> pending_;
    handler done_;
    // Keeps the context running while only the look-up's thread has work.
    std::optional<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> work_;
};

} // namespace detail
} // namespace urdl
