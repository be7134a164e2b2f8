#pragma once
// What both feed readers do with the HTTP client: fetch a whole body with a
// given user agent (default options otherwise: GET, Connection "close",
// redirects, 300000 ms time-outs), and report to a callback exactly once.
// Runs on the calling thread (a feed thread); throws nothing.

#include <exception>
#include <sstream>
#include <string>
#include <utility>

namespace kestrel {
namespace feeds {

// "kestrel(Linux)": the user agent the feed readers send by default.
std::string default_user_agent();

enum class fetch_outcome {
    not_opened, // the address is not a URL, or the client could not open it
    read        // opened; the body is in the stream, which is failed when
                // reading broke off or nothing came
};

fetch_outcome fetch_body(const std::string& address, const std::string& user_agent, std::stringstream& body);

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
