#pragma once
// A parsed URL: a plain, copyable value. Parsing accepts
// "scheme://[user-info@]host[:port][/path][?query][#fragment]", keeps the
// path as written (still percent-encoded) and lower-cases the scheme; a host
// in square brackets is an IPv6 literal. Parsing never depends on the
// process locale. The constructors throw boost::system::system_error
// (invalid_argument) on text that does not parse (a port past 65535 too);
// from_string reports it.

#include <boost/system/error_code.hpp>

#include <string>

namespace urdl {

class url {
public:
    // Bits choosing the parts that to_string() writes.
    enum components_type {
        protocol_component = 1,
        user_info_component = 2,
        host_component = 4,
        port_component = 8,
        path_component = 16,
        query_component = 32,
        fragment_component = 64,
        all_components = 127
    };

    url() = default;
    url(const char* text);        // NOLINT: converts like a string
    url(const std::string& text); // NOLINT

    static url from_string(const char* text, boost::system::error_code& ec);
    static url from_string(const std::string& text, boost::system::error_code& ec);

    const std::string& protocol() const { return protocol_; }
    const std::string& user_info() const { return user_info_; }
    const std::string& host() const { return host_; }
    // The written port; else the scheme's default (http 80, https 443,
    // ftp 21), else 0. A written port above 65535 does not parse.
    unsigned short port() const;
    // The path with its percent-escapes decoded.
    std::string path() const;
    const std::string& query() const { return query_; }
    const std::string& fragment() const { return fragment_; }
    bool ipv6_host() const { return ipv6_host_; }

    std::string to_string(int components = all_components) const;

    friend bool operator==(const url& a, const url& b);
    friend bool operator!=(const url& a, const url& b) { return !(a == b); }
    friend bool operator<(const url& a, const url& b);

private:
    std::string protocol_;
    std::string user_info_;
    std::string host_;
    std::string port_; // as written, decimal digits only, or empty
    std::string path_; // as written, "/" when the URL has none
    std::string query_;
    std::string fragment_;
    bool ipv6_host_ = false;
};

} // namespace urdl
