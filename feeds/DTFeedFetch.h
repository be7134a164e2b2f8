#pragma once
// What the feed readers and the banner download do with the HTTP client:
// fetch a whole body with a given user agent (default options otherwise:
// GET, Connection "close", at most ten redirects, 300000 ms per read) within
// the caller's bounds, and report to a callback exactly once. Runs on the
// calling thread (a feed thread, a pool job); throws nothing. Every failure
// is logged once as a warning naming the address: the fetch logs what went
// wrong with the transfer, the reader what is wrong with a body that came
// whole; a cancelled download is not a failure and is not logged.

#include "net/Cancellation.h"

#include <boost/system/error_code.hpp>

#include <cstddef>
#include <exception>
#include <sstream>
#include <string>
#include <utility>

namespace kestrel {
namespace feeds {

// "kestrel(Linux)": the user agent the feed readers send by default.
std::string default_user_agent();

// The bounds of one download. Past either bound the download fails and
// what came is dropped; cancelling ends it at once, from any thread.
struct fetch_limits {
    std::size_t max_bytes;   // the largest body taken
    std::size_t timeout_ms;  // the whole request: open, redirects, body
    urdl::cancellation cancel;
};

// A feed: 1 MiB within a minute.
fetch_limits feed_limits(urdl::cancellation cancel = urdl::cancellation());

enum class fetch_outcome {
    not_opened, // the address is not a URL, or the client could not open it
    cut_short,  // opened, but the stream is failed: reading broke off (what
                // came is kept), went past the size bound or was cancelled
                // (nothing is kept), or nothing came
    read        // the whole body is in the stream
};

fetch_outcome fetch_body(const std::string& address, const std::string& user_agent, const fetch_limits& limits,
                         std::stringstream& body);

// One warning line: the address, what happened to its download ("not
// opened", "unreadable") and why. Never throws.
void log_failure(const std::string& address, const char* what, const std::exception_ptr& failure) noexcept;
void log_failure(const std::string& address, const char* what, const boost::system::error_code& error) noexcept;

// Calls the callback of the address's download, if any. What it throws is
// logged and stays here: a receiver that fails is never told about the same
// feed a second time.
template <class Callback, class... Args>
void report(const std::string& address, const Callback& callback, Args&&... args) noexcept {
    if (!callback)
        return;
    try {
        callback(std::forward<Args>(args)...);
    } catch (...) {
        log_failure(address, "receiver failed", std::current_exception());
    }
}

} // namespace feeds
} // namespace kestrel
