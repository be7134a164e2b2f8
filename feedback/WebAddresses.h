#pragma once
// Where the online services send what the feed readers do not: the host of
// the usage analytics collector, a build option (LUMIVISTA_ANALYTICS_HOST, a
// loopback address in this repository) that the environment variable of the
// same name overrides at run time, so tests and test installs never reach
// the real collector. Only a plain host with an optional port is taken
// (kestrel/feeds DTWebAddress.h); anything else is logged and the build's
// host used. The maker's site itself is kestrel::services::web_base().
// Also the user agent that hits and banner downloads present.

#include <QString>

namespace Feedback {

// "host" or "host:port", without scheme or path.
QString analyticsCollectorHost();

// The browser identity the collector and the banner hosts expect.
inline const char* browserUserAgent()
{
    return "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 6.0)";
}

} // namespace Feedback
