#include "DTUtf8Text.h"

#include "DTUtf8.h"

#include <cstdio>

namespace kestrel {

namespace {

// The length of the UTF-8 sequence at `at` (before `end`), or 0 when no
// whole sequence starts there.
std::size_t sequence_length(const unsigned char* at, const unsigned char* end) {
    char32_t code_point = 0;
    return decode_utf8(at, std::size_t(end - at), code_point);
}

} // namespace

bool is_utf8_text(const std::string& bytes) {
    const unsigned char* at = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = at + bytes.size();
    while (at < end) {
        const std::size_t length = sequence_length(at, end);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

std::string utf8_escaped(const std::string& bytes) {
    std::string shown;
    shown.reserve(bytes.size());
    append_utf8_escaped(shown, bytes.data(), bytes.data() + bytes.size());
    return shown;
}

void append_utf8_escaped(std::string& out, const char* first, const char* last, bool (*also)(unsigned char)) {
    const unsigned char* at = reinterpret_cast<const unsigned char*>(first);
    const unsigned char* const end = reinterpret_cast<const unsigned char*>(last);
    while (at < end) {
        const std::size_t length = sequence_length(at, end);
        if (length == 0 || (length == 1 && also && also(*at))) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", *at);
            out += escaped;
            ++at;
        } else {
            out.append(reinterpret_cast<const char*>(at), length);
            at += length;
        }
    }
}

} // namespace kestrel
