#include "DTServiceAddress.h"

#include "DTWebAddress.h"

namespace kestrel {
namespace services {

std::string web_base() {
    std::string base = feeds::http_address_from_environment("LUMIVISTA_WEB_BASE", LUMIVISTA_WEB_BASE_DEFAULT);
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base;
}

std::string advertisement_feed_url() { return web_base() + "/files/advertisement/lumivista.xml"; }

std::string notification_feed_url() { return web_base() + "/files/notification/lumivista.xml"; }

} // namespace services
} // namespace kestrel
