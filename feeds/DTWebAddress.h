#pragma once
// Addresses a feed carries (a banner, a link, an update's page) come from a
// server a network can change, so they are used only as web addresses:
// "http://" or "https://" at their very start, in any case. Anything else
// (a local file, a program's own scheme, white space in front) is refused,
// and the refusal logged with the address, so a local file can never be
// read or opened through a feed. Pure functions but for the log; any
// thread.

#include <string>

namespace kestrel {
namespace feeds {

bool is_web_address(const std::string& address);

// The address when it is empty or a web address; else empty, after a
// warning line naming `field` and the address (control bytes escaped, cut
// after 200 bytes).
std::string web_address_or_empty(const std::string& address, const char* field);

} // namespace feeds
} // namespace kestrel
