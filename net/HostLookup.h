#pragma once
// How the client turns a host name into addresses, an option of the client
// like those of HttpOptions.h (urdl::istream::set_option). By default the
// system's resolver (getaddrinfo). The look-up runs on a detached thread of
// its own that a cancelled request stops waiting for, a few at most in the
// process, more failing at once as a temporary failure (HostResolver.h), so
// a look-up must use only what it owns: it gets its own copies of the host
// and the port and returns the addresses by value, and it may still be
// running when the process ends.

#include <boost/asio/ip/tcp.hpp>
#include <boost/system/error_code.hpp>

#include <functional>
#include <string>
#include <vector>

namespace urdl {

class host_lookup {
public:
    typedef std::vector<boost::asio::ip::tcp::endpoint> addresses;
    // Fills `found` and gives success, or gives why the name has none.
    typedef std::function<boost::system::error_code(const std::string& host, const std::string& port,
                                                    addresses& found)>
        function;

    host_lookup();
    explicit host_lookup(function lookup) : value_(std::move(lookup)) {}
    const function& value() const { return value_; }

private:
    function value_;
};

// The system's resolver, IPv4 and IPv6 addresses in the order it gives them.
boost::system::error_code system_host_lookup(const std::string& host, const std::string& port,
                                             host_lookup::addresses& found);

} // namespace urdl
