#pragma once
// What the feed readers and the banner download do with the HTTP client:
// fetch a whole body with a given user agent (default options otherwise:
// GET, Connection "close", at most ten redirects, 300000 ms per read) within
// the caller's bounds, and report to a callback exactly once. Runs on the
// calling thread (a feed thread, a pool job); throws nothing.

#include "net/Cancellation.h"

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
    read        // opened; the body is in the stream, which is failed when
                // reading broke off (what came is kept), went past its size
                // bound or was cancelled (nothing is kept), or nothing came
};

fetch_outcome fetch_body(const std::string& address, const std::string& user_agent, const fetch_limits& limits,
                         std::stringstream& body);

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
