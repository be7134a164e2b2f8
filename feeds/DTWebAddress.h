#pragma once
// Addresses a feed carries (a banner, a link, an update's page) come from a
// server a network can change, so they are used only as web addresses:
// "http://" or "https://" at their very start, in any case. Anything else
// (a local file, a program's own scheme, white space in front) is refused,
// and the refusal logged with the address, so a local file can never be
// read or opened through a feed. Pure functions but for the log; any
// thread.
//
// Addresses the build and the environment give (the maker's site, the
// analytics collector, the social pages) follow the same rule, and must
// also parse as a URL with a host (so a port past 65535 is refused); an
// address this program fetches itself must be "http": the client has no
// "https". A value that breaks its rule is replaced by the build's default,
// after a warning line naming the variable and the value, logged once per
// process however often the address is read.

#include <string>

namespace kestrel {
namespace feeds {

bool is_web_address(const std::string& address);

// The address when it is empty or a web address; else empty, after a
// warning line naming `field` and the address (control bytes escaped, cut
// after 200 bytes).
std::string web_address_or_empty(const std::string& address, const char* field);

// The value of the environment variable when it is set and an http or https
// URL with a host (a page the browser opens); build_default when the
// variable is unset or empty; else build_default after the warning. A
// build_default that breaks the rule gives "", after a warning of its own.
std::string web_address_from_environment(const char* variable, const std::string& build_default);

// The same for an address the client fetches: an http URL with a host.
std::string http_address_from_environment(const char* variable, const std::string& build_default);

// The same for "host" or "host:port" (an http host without scheme, user,
// path, query or fragment).
std::string web_host_from_environment(const char* variable, const std::string& build_default);

} // namespace feeds
} // namespace kestrel
