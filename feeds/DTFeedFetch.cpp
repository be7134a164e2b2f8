#include "DTFeedFetch.h"

#include "base/DTLog.h"
#include "files/DTFailureReason.h"

#include "net/HttpError.h"
#include "net/HttpOptions.h"
#include "net/IStream.h"
#include "net/StreamLimits.h"

#include <boost/asio/error.hpp>

namespace kestrel {
namespace feeds {

namespace {

std::ostream& log_line_for(const std::string& address, const char* what) {
    return log_line(logger::warning()) << "[feeds] " << log_quoted(address) << " " << what << ": ";
}

// "Not found (HTTP 404)": the client's words and where they come from.
std::string text_of(const boost::system::error_code& error) {
    return error.message() + " (" + error.category().name() + " " + std::to_string(error.value()) + ")";
}

} // namespace

std::string default_user_agent() { return std::string("kestrel(") + "Linux" + ")"; }

fetch_limits feed_limits(urdl::cancellation cancel) { return fetch_limits{1 << 20, 60000, std::move(cancel)}; }

fetch_outcome fetch_body(const std::string& address, const std::string& user_agent, const fetch_limits& limits,
                         std::stringstream& body) {
    try {
        urdl::istream stream;
        stream.set_option(urdl::http::user_agent(user_agent));
        stream.set_option(urdl::max_body_size(limits.max_bytes));
        stream.set_option(limits.cancel);
        stream.rdbuf()->set_request_timeout(limits.timeout_ms);
        stream.open(urdl::url(address));
        const boost::system::error_code& error = stream.rdbuf()->error();
        if (!stream) {
            if (error != boost::asio::error::operation_aborted)
                log_failure(address, "not opened", error);
            return fetch_outcome::not_opened;
        }
        // Stops at a read failure and marks the body failed, keeping what
        // came so far; but a body past its bound, or cancelled, is dropped.
        body << stream.rdbuf();
        if (error == urdl::http::errc::body_too_large || error == boost::asio::error::operation_aborted) {
            body.str(std::string());
            body.setstate(std::ios_base::failbit);
        }
        if (body)
            return fetch_outcome::read;
        if (!error)
            log_line_for(address, "cut short") << "nothing came" << std::endl;
        else if (error != boost::asio::error::operation_aborted)
            log_failure(address, "cut short", error);
        return fetch_outcome::cut_short;
    } catch (...) {
        // A URL that does not parse, or no memory for the stream.
        log_failure(address, "not opened", std::current_exception());
        return fetch_outcome::not_opened;
    }
}

void log_failure(const std::string& address, const char* what, const std::exception_ptr& failure) noexcept {
    try {
        log_line_for(address, what) << errors::log_text_of(failure) << std::endl;
    } catch (...) {
        // No memory even for the line: the failure goes unsaid.
    }
}

void log_failure(const std::string& address, const char* what, const boost::system::error_code& error) noexcept {
    try {
        log_line_for(address, what) << text_of(error) << std::endl;
    } catch (...) {
    }
}

} // namespace feeds
} // namespace kestrel
