#include "DTWebAddress.h"

#include "DTLog.h"

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

} // namespace

bool is_web_address(const std::string& address) {
    return starts_with_ignoring_case(address, "http://") || starts_with_ignoring_case(address, "https://");
}

std::string web_address_or_empty(const std::string& address, const char* field) {
    if (address.empty() || is_web_address(address))
        return address;
    log_line(logger::warning()) << "[feeds] refused " << field << " " << log_quoted(address)
                                << ": not an http or https address" << std::endl;
    return std::string();
}

} // namespace feeds
} // namespace kestrel
