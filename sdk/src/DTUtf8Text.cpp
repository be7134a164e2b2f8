#include "DTUtf8Text.h"

#include <cstdio>

namespace kestrel {

namespace {

// The length of the UTF-8 sequence at `at` (before `end`), or 0 when no
// whole sequence starts there: the bounds of the second byte rule out
// overlong forms, surrogates and code points beyond U+10FFFF.
std::size_t sequence_length(const unsigned char* at, const unsigned char* end) {
    const unsigned char lead = *at;
    const std::size_t total = lead < 0x80                   ? 1
                              : lead >= 0xC2 && lead <= 0xDF ? 2
                              : lead >= 0xE0 && lead <= 0xEF ? 3
                              : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                             : 0;
    if (total <= 1)
        return total;
    if (std::size_t(end - at) < total)
        return 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead == 0xE0)
        low = 0xA0;
    else if (lead == 0xED)
        high = 0x9F;
    else if (lead == 0xF0)
        low = 0x90;
    else if (lead == 0xF4)
        high = 0x8F;
    if (at[1] < low || at[1] > high)
        return 0;
    for (std::size_t i = 2; i < total; ++i)
        if ((at[i] & 0xC0) != 0x80)
            return 0;
    return total;
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
