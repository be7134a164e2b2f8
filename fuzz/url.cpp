// The URL parser on hostile text, as it meets a feed's addresses and a
// redirect's Location. Nothing may crash; a URL it accepts must write back
// (to_string) as text that parses to the same URL, and its path must
// decode: the client builds its requests from what it parsed. A wrong
// answer aborts.

#include "net/Url.h"

#include "support/FuzzInput.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void wrong(const char* what, const std::string& text) {
    std::fprintf(stderr, "url: %s: \"%s\"\n", what, text.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = kestrel::fuzz::as_text(data, size);
    boost::system::error_code ec;
    const urdl::url parsed = urdl::url::from_string(text, ec);
    if (ec) {
        if (parsed != urdl::url())
            wrong("a refused URL is not empty", text);
        return 0;
    }
    parsed.port();
    parsed.path();
    // Without a scheme the text written back has no "://" to parse by; an
    // empty user info is not written, so its "@" cannot come back.
    if (parsed.protocol().empty() || (parsed.user_info().empty() && parsed.host().find('@') != std::string::npos))
        return 0;
    const std::string written = parsed.to_string();
    const urdl::url again = urdl::url::from_string(written, ec);
    if (ec)
        wrong("written back it does not parse", written);
    if (again != parsed || again.ipv6_host() != parsed.ipv6_host())
        wrong("written back it parses to another URL", written);
    return 0;
}
