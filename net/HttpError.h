#pragma once
// The client's own error category, named "HTTP": the two parse failures, the
// bounds a caller may hit (a redirect chain longer than the client follows,
// a body larger than the caller takes, more interim answers than the client
// waits through), an address with port 0 (no server listens there), a
// redirect whose address is not a complete URL, and every HTTP status code
// as its own value (404 is error 404). Only status 200 is success; 401 and
// 403 compare equal to the generic permission_denied, 404 to
// no_such_file_or_directory, the redirect's address to invalid_argument. The category object
// is made once, on first use, and is read-only afterwards.

#include <boost/system/error_code.hpp>

namespace urdl {
namespace http {

namespace errc {
enum errc_t {
    malformed_status_line = 1,
    malformed_response_headers = 2,
    too_many_redirects = 3,
    body_too_large = 4,
    too_many_interim_responses = 5,
    port_zero = 6,
    redirect_not_a_url = 7,
    continue_request = 100,
    switching_protocols = 101,
    ok = 200,
    created = 201,
    accepted = 202,
    non_authoritative_information = 203,
    no_content = 204,
    reset_content = 205,
    partial_content = 206,
    multiple_choices = 300,
    moved_permanently = 301,
    found = 302,
    see_other = 303,
    not_modified = 304,
    use_proxy = 305,
    temporary_redirect = 307,
    bad_request = 400,
    unauthorized = 401,
    payment_required = 402,
    forbidden = 403,
    not_found = 404,
    method_not_allowed = 405,
    not_acceptable = 406,
    proxy_authentication_required = 407,
    request_timeout = 408,
    conflict = 409,
    gone = 410,
    length_required = 411,
    precondition_failed = 412,
    request_entity_too_large = 413,
    request_uri_too_large = 414,
    unsupported_media_type = 415,
    requested_range_not_satisfiable = 416,
    expectation_failed = 417,
    internal_server_error = 500,
    not_implemented = 501,
    bad_gateway = 502,
    service_unavailable = 503,
    gateway_timeout = 504,
    version_not_supported = 505
};
} // namespace errc

const boost::system::error_category& error_category();

namespace errc {
// Found by argument-dependent lookup when an errc_t becomes an error code.
inline boost::system::error_code make_error_code(errc_t e) {
    return boost::system::error_code(static_cast<int>(e), error_category());
}
inline boost::system::error_condition make_error_condition(errc_t e) {
    return boost::system::error_condition(static_cast<int>(e), error_category());
}
} // namespace errc

} // namespace http
} // namespace urdl

namespace boost {
namespace system {
template <>
struct is_error_code_enum<urdl::http::errc::errc_t> {
    static const bool value = true;
};
} // namespace system
} // namespace boost
