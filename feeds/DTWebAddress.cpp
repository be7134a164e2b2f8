#include "DTWebAddress.h"

#include "DTLog.h"

#include <cstdio>

namespace kestrel {
namespace feeds {

namespace {

bool starts_with_ignoring_case(const std::string& text, const char* prefix) {
    std::size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i == text.size())
            return false;
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

// The address as a log line may show it: on one line, not too long.
std::string printable(const std::string& address) {
    const std::size_t shown = 200;
    std::string text;
    for (std::size_t i = 0; i < address.size() && i < shown; ++i) {
        const unsigned char c = static_cast<unsigned char>(address[i]);
        if (c < 0x20 || c == 0x7F || c == '"' || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            text += escaped;
        } else {
            text += static_cast<char>(c);
        }
    }
    if (address.size() > shown)
        text += "...";
    return text;
}

} // namespace

bool is_web_address(const std::string& address) {
    return starts_with_ignoring_case(address, "http://") || starts_with_ignoring_case(address, "https://");
}

std::string web_address_or_empty(const std::string& address, const char* field) {
    if (address.empty() || is_web_address(address))
        return address;
    log_line(logger::warning()) << "[feeds] refused " << field << " \"" << printable(address)
                                << "\": not an http or https address" << std::endl;
    return std::string();
}

} // namespace feeds
} // namespace kestrel
