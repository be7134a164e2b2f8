#include "DTServiceAddress.h"

#include <cstdlib>

namespace kestrel {
namespace services {

std::string web_base() {
    const char* configured = std::getenv("LUMIVISTA_WEB_BASE");
    std::string base = configured && *configured ? configured : LUMIVISTA_WEB_BASE_DEFAULT;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base;
}

std::string advertisement_feed_url() { return web_base() + "/files/advertisement/lumivista.xml"; }

std::string notification_feed_url() { return web_base() + "/files/notification/lumivista.xml"; }

} // namespace services
} // namespace kestrel
