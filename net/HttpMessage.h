#pragma once
// The bytes of one HTTP/1.0 exchange, without any I/O: the request built
// from a URL and the options, the status line and the header block of the
// answer. Pure functions; they never depend on the process locale.

#include "net/OptionSet.h"
#include "net/Url.h"

#include <cstddef>
#include <string>

namespace urdl {
namespace detail {

// The request: request line, Host, Accept, the optional body headers and
// User-Agent, extra headers, Connection, the blank line and the body. The
// URL's user info and fragment are never sent. In the request line every
// byte of the path and the query outside visible ASCII (0x21..0x7E) is
// percent-encoded, so blanks, CR, LF and non-ASCII never go out raw;
// escapes already there are sent as they are.
std::string build_http_request(const url& target, const option_set& options);

// Whether the URL's host can go into a Host line: not empty, visible ASCII
// only. A request for any other is not sent.
bool is_sendable_host(const url& target);

// Parses "HTTP/<digits>.<digits> <digits> <reason>\r\n" from text[0, size).
// On success gives the status code and the number of bytes the line takes.
bool parse_http_status_line(const char* text, std::size_t size, int& status, std::size_t& length);

// What the client keeps of an answer's header block.
struct http_header_fields {
    std::string content_type;
    std::size_t content_length = 0;
    std::string location;
};

// Parses a header block (the lines after the status line, ending with the
// empty line), continuation lines included. Unparsable blocks give false.
bool parse_http_headers(const std::string& block, http_header_fields& fields);

} // namespace detail
} // namespace urdl
