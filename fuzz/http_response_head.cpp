// The head of an HTTP answer on hostile bytes, as the client reads it: the
// status line from the front of the input, then the header block after it.
// Nothing may crash; an accepted status line ends in CRLF within the input
// and begins with "HTTP/"; accepted headers keep values free of line ends.
// A wrong answer aborts.

#include "net/HttpMessage.h"

#include "support/FuzzInput.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void wrong(const char* what) {
    std::fprintf(stderr, "http_response_head: %s\n", what);
    std::abort();
}

bool holds_line_end(const std::string& value) { return value.find_first_of("\r\n") != std::string::npos; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = kestrel::fuzz::as_text(data, size);
    int status = 0;
    std::size_t length = 0;
    std::string block = text;
    if (urdl::detail::parse_http_status_line(text.data(), text.size(), status, length)) {
        if (length < 2 || length > text.size() || text.compare(length - 2, 2, "\r\n") != 0 ||
            text.compare(0, 5, "HTTP/") != 0)
            wrong("an accepted status line is not one");
        if (status < 0)
            wrong("a negative status");
        block = text.substr(length);
    }
    urdl::detail::http_header_fields fields;
    if (urdl::detail::parse_http_headers(block, fields) &&
        (holds_line_end(fields.content_type) || holds_line_end(fields.location)))
        wrong("a header value holds a line end");
    return 0;
}
