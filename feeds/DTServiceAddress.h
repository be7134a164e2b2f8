#pragma once
// Where the maker's web site is: a build option (LUMIVISTA_WEB_BASE, a
// loopback address in this repository) that the environment variable of
// the same name overrides at run time, so that tests and test installs never
// reach the real site. The program fetches its feeds from there, so only an
// http address is taken from either (DTWebAddress.h): a variable that holds
// anything else, "https" too, is logged once and the build's address used;
// the build refuses an option that is no http address. Reads the
// environment on each call; call it from one thread at start-up.

#include <string>

namespace kestrel {
namespace services {

// The site's address without a trailing "/", e.g. "http://127.0.0.1:8765".
std::string web_base();
// The advertisement feed and the notification feed on that site.
std::string advertisement_feed_url();
std::string notification_feed_url();

} // namespace services
} // namespace kestrel
