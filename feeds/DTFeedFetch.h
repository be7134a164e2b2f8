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

// The line for a body that came whole but cannot be read as the feed.
void log_unreadable(const std::string& address, const std::exception_ptr& failure);

// The line for an address that is not a URL, found before any fetch.
void log_not_a_url(const std::string& address, const boost::system::error_code& error);

// Calls the callback, if any. What it throws stays here: a receiver that
// fails is never told about the same feed a second time.
template <class Callback, class... Args>
void report(const Callback& callback, Args&&... args) noexcept {
    if (!callback)
        return;
    try {
        callback(std::forward<Args>(args)...);
    } catch (...) {
    }
}

} // namespace feeds
} // namespace kestrel
