#include "DTWebAddress.h"

#include "base/DTLog.h"

#include "net/Url.h"

#include <cstdlib>
#include <mutex>
#include <set>

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

// The client fetches "http" only (an "https" address fails every request).
bool is_fetched_site_address(const std::string& address) {
    return starts_with_ignoring_case(address, "http://") && is_site_address(address);
}

bool is_host_and_port(const std::string& host) {
    // Nothing that would end the host or begin a user part in "http://<host>/".
    if (host.empty() || host.find_first_of("/?#@\\ ") != std::string::npos)
        return false;
    return is_site_address("http://" + host + "/");
}

struct address_rule {
    bool (*usable)(const std::string&);
    const char* what; // what a usable address is, for the warning
};

const address_rule page_rule{is_site_address, "an http or https URL with a host"};
const address_rule fetched_rule{is_fetched_site_address, "an http URL with a host"};
const address_rule host_rule{is_host_and_port, "a host with an optional port"};

// An address is read wherever it is used, several times in a run; its
// refusal is told once.
void warn_once(const std::string& line) {
    static std::mutex mutex;
    static std::set<std::string> told;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!told.insert(line).second)
            return;
    }
    log_line(logger::warning()) << line << std::endl;
}

std::string from_environment(const char* variable, const std::string& build_default, const address_rule& rule) {
    const char* configured = std::getenv(variable);
    if (configured && *configured) {
        if (rule.usable(configured))
            return configured;
        warn_once(std::string("[feeds] refused ") + variable + " " + log_quoted(configured) + ": not " + rule.what +
                  "; the built-in one is used");
    }
    if (rule.usable(build_default))
        return build_default;
    warn_once(std::string("[feeds] refused the built-in ") + variable + " " + log_quoted(build_default) + ": not " +
              rule.what);
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
    return from_environment(variable, build_default, page_rule);
}

std::string http_address_from_environment(const char* variable, const std::string& build_default) {
    return from_environment(variable, build_default, fetched_rule);
}

std::string web_host_from_environment(const char* variable, const std::string& build_default) {
    return from_environment(variable, build_default, host_rule);
}

} // namespace feeds
} // namespace kestrel
