#include "DTFeedFetch.h"

#include "net/HttpError.h"
#include "net/HttpOptions.h"
#include "net/IStream.h"
#include "net/StreamLimits.h"

#include <boost/asio/error.hpp>

namespace kestrel {
namespace feeds {

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
        if (!stream)
            return fetch_outcome::not_opened;
        // Stops at a read failure and marks the body failed, keeping what
        // came so far; but a body past its bound, or cancelled, is dropped.
        body << stream.rdbuf();
        const boost::system::error_code& error = stream.rdbuf()->error();
        if (error == urdl::http::errc::body_too_large || error == boost::asio::error::operation_aborted) {
            body.str(std::string());
            body.setstate(std::ios_base::failbit);
        }
        return fetch_outcome::read;
    } catch (...) {
        // A URL that does not parse, or no memory for the stream.
        return fetch_outcome::not_opened;
    }
}

} // namespace feeds
} // namespace kestrel
