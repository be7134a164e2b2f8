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

    explicit host_resolver(boost::asio::io_context& io);
    ~host_resolver();
    host_resolver(const host_resolver&) = delete;
    host_resolver& operator=(const host_resolver&) = delete;

    // `done` runs on the I/O context's thread, never from within this call:
    // with the answer, or with operation_aborted when cancelled.
    void async_resolve(const host_lookup::function& lookup, const std::string& host, const std::string& port,
                       handler done);
    // Ends the pending look-up at once; nothing pending, nothing happens.
    void cancel();

private:
    struct shared_state;

    void abandon();
    void deliver(const boost::system::error_code& ec, const host_lookup::addresses& found);

    boost::asio::io_context& io_;
    std::shared_ptr<shared_state> pending_;
    handler done_;
    // Keeps the context running while only the look-up's thread has work.
    std::optional<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> work_;
};

} // namespace detail
} // namespace urdl
