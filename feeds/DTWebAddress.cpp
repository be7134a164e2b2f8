#include "DTWebAddress.h"

#include "DTLog.h"

#include "net/Url.h"

#include <cstdlib>

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

bool is_site_address(const std::string& address) {
    if (!is_web_address(address))
        return false;
    boost::system::error_code error;
    const urdl::url parsed = urdl::url::from_string(address, error);
    return !error && !parsed.host().empty();
}

bool is_host_and_port(const std::string& host) {
    // Nothing that would end the host or begin a user part in "http://<host>/".
    if (host.empty() || host.find_first_of("/?#@\\ ") != std::string::npos)
        return false;
    return is_site_address("http://" + host + "/");
}

std::string from_environment(const char* variable, const std::string& build_default,
                             bool (*usable)(const std::string&)) {
    const char* configured = std::getenv(variable);
    if (configured && *configured) {
        if (usable(configured))
            return configured;
        log_line(logger::warning()) << "[feeds] refused " << variable << " " << log_quoted(configured)
                                    << ": not an http or https URL with a host; the built-in one is used" << std::endl;
    }
    if (usable(build_default))
        return build_default;
    log_line(logger::warning()) << "[feeds] refused the built-in " << variable << " " << log_quoted(build_default)
                                << ": not an http or https address" << std::endl;
    return std::string();
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

std::string web_address_from_environment(const char* variable, const std::string& build_default) {
    return from_environment(variable, build_default, is_site_address);
}

std::string web_host_from_environment(const char* variable, const std::string& build_default) {
    return from_environment(variable, build_default, is_host_and_port);
}

} // namespace feeds
} // namespace kestrel
