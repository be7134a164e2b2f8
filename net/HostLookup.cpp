#include "net/HostLookup.h"

#include <boost/asio/error.hpp>

#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace urdl {

namespace {

boost::system::error_code lookup_error(int code) {
    switch (code) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
        return boost::asio::error::host_not_found;
    case EAI_AGAIN:
        return boost::asio::error::host_not_found_try_again;
    case EAI_SERVICE:
        return boost::asio::error::service_not_found;
    case EAI_FAMILY:
        return boost::asio::error::address_family_not_supported;
    case EAI_MEMORY:
        return boost::asio::error::no_memory;
    case EAI_SYSTEM:
        return boost::system::error_code(errno, boost::asio::error::get_system_category());
    default:
        return boost::asio::error::no_recovery;
    }
}

} // namespace

host_lookup::host_lookup() : value_(system_host_lookup) {}

boost::system::error_code system_host_lookup(const std::string& host, const std::string& port,
                                             host_lookup::addresses& found) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    const int code = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
    if (code != 0)
        return lookup_error(code);
    for (const addrinfo* entry = list; entry; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6)
            continue;
        boost::asio::ip::tcp::endpoint endpoint;
        if (entry->ai_addrlen > endpoint.capacity())
            continue;
        std::memcpy(endpoint.data(), entry->ai_addr, entry->ai_addrlen);
        endpoint.resize(entry->ai_addrlen);
        found.push_back(endpoint);
    }
    ::freeaddrinfo(list);
    if (found.empty())
        return boost::asio::error::host_not_found;
    return boost::system::error_code();
}

} // namespace urdl
