#include "DTFeedFetch.h"

#include "net/HttpOptions.h"
#include "net/IStream.h"

namespace kestrel {
namespace feeds {

std::string default_user_agent() { return std::string("kestrel(") + "Linux" + ")"; }

fetch_outcome fetch_body(const std::string& address, const std::string& user_agent, std::stringstream& body) {
    try {
        urdl::istream stream;
        stream.set_option(urdl::http::user_agent(user_agent));
        stream.open(urdl::url(address));
        if (!stream)
            return fetch_outcome::not_opened;
        // Stops at a read failure and marks the body failed, keeping what
        // came so far.
        body << stream.rdbuf();
        return fetch_outcome::read;
    } catch (...) {
        // A URL that does not parse, or no memory for the stream.
        return fetch_outcome::not_opened;
    }
}

} // namespace feeds
} // namespace kestrel
