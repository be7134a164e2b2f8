#include "base/DTUtf8Text.h"

#include "base/DTUtf8.h"

#include <cstdio>

namespace kestrel {

namespace {

// The length of the UTF-8 sequence at `at` (before `end`), or 0 when no
// whole sequence starts there.
std::size_t sequence_length(const unsigned char* at, const unsigned char* end) {
    char32_t code_point = 0;
    return decode_utf8(at, std::size_t(end - at), code_point);
}

bool is_hex_digit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Two backslashes in a row, or a backslash, "x" and two hexadecimal digits:
// what an escaped name is made of.
bool reads_as_escape(const std::string& text) {
    for (std::size_t at = text.find('\\'); at != std::string::npos; at = text.find('\\', at + 1)) {
        if (text.compare(at + 1, 1, "\\") == 0)
            return true;
        if (text.size() - at >= 4 && text[at + 1] == 'x' && is_hex_digit(text[at + 2]) && is_hex_digit(text[at + 3]))
            return true;
    }
    return false;
}

// Every byte outside UTF-8, and every ASCII byte `also` picks, as \xNN;
// with `double_backslashes`, every other backslash as two.
void append_escaped(std::string& out, const char* first, const char* last, bool (*also)(unsigned char),
                    bool double_backslashes) {
    const unsigned char* at = reinterpret_cast<const unsigned char*>(first);
    const unsigned char* const end = reinterpret_cast<const unsigned char*>(last);
    while (at < end) {
        const std::size_t length = sequence_length(at, end);
        if (length == 0 || (length == 1 && also && also(*at))) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", *at);
            out += escaped;
            ++at;
            continue;
        }
        if (double_backslashes && *at == '\\')
            out += '\\';
        out.append(reinterpret_cast<const char*>(at), length);
        at += length;
    }
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
    if (is_utf8_text(bytes) && !reads_as_escape(bytes))
        return bytes;
    std::string shown;
    shown.reserve(bytes.size() + 8);
    append_escaped(shown, bytes.data(), bytes.data() + bytes.size(), nullptr, true);
    return shown;
}

void append_utf8_escaped(std::string& out, const char* first, const char* last, bool (*also)(unsigned char)) {
    append_escaped(out, first, last, also, false);
}

} // namespace kestrel
