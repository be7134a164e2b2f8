#include "net/HttpError.h"

#include <string>

namespace urdl {
namespace http {
namespace detail {

class error_category_impl : public boost::system::error_category {
public:
    const char* name() const noexcept override { return "HTTP"; }

    std::string message(int code) const noexcept override { return message_text(code); }

    boost::system::error_condition default_error_condition(int code) const noexcept override {
        switch (code) {
        case errc::unauthorized:
        case errc::forbidden:
            return make_error_condition(boost::system::errc::permission_denied);
        case errc::not_found:
            return make_error_condition(boost::system::errc::no_such_file_or_directory);
        case errc::redirect_not_a_url:
            return make_error_condition(boost::system::errc::invalid_argument);
        default:
            return boost::system::error_condition(code, *this);
        }
    }

private:
    static const char* message_text(int code) {
        switch (code) {
        case errc::malformed_status_line: return "Malformed status line";
        case errc::malformed_response_headers: return "Malformed response headers";
        case errc::too_many_redirects: return "Too many redirects";
        case errc::body_too_large: return "Body larger than allowed";
        case errc::too_many_interim_responses: return "Too many interim responses";
        case errc::port_zero: return "Port 0 cannot be connected to";
        case errc::redirect_not_a_url: return "Redirect address is not a complete URL";
        case errc::continue_request: return "Continue";
        case errc::switching_protocols: return "Switching protocols";
        case errc::ok: return "OK";
        case errc::created: return "Created";
        case errc::accepted: return "Accepted";
        case errc::non_authoritative_information: return "Non-authoritative information";
        case errc::no_content: return "No content";
        case errc::reset_content: return "Reset content";
        case errc::partial_content: return "Partial content";
        case errc::multiple_choices: return "Multiple choices";
        case errc::moved_permanently: return "Moved permanently";
        case errc::found: return "Found";
        case errc::see_other: return "See other";
        case errc::not_modified: return "Not modified";
        case errc::use_proxy: return "Use proxy";
        case errc::temporary_redirect: return "Temporary redirect";
        case errc::bad_request: return "Bad request";
        case errc::unauthorized: return "Unauthorized";
        case errc::payment_required: return "Payment required";
        case errc::forbidden: return "Forbidden";
        case errc::not_found: return "Not found";
        case errc::method_not_allowed: return "Method not allowed";
        case errc::not_acceptable: return "Not acceptable";
        case errc::proxy_authentication_required: return "Proxy authentication required";
        case errc::request_timeout: return "Request time-out";
        case errc::conflict: return "Conflict";
        case errc::gone: return "Gone";
        case errc::length_required: return "Length required";
        case errc::precondition_failed: return "Precondition failed";
        case errc::request_entity_too_large: return "Request entity too large";
        case errc::request_uri_too_large: return "Request URI too large";
        case errc::unsupported_media_type: return "Unsupported media type";
        case errc::requested_range_not_satisfiable: return "Requested range not satisfiable";
        case errc::expectation_failed: return "Expectation failed";
        case errc::internal_server_error: return "Internal server error";
        case errc::not_implemented: return "Not implemented";
        case errc::bad_gateway: return "Bad gateway";
        case errc::service_unavailable: return "Service unavailable";
        case errc::gateway_timeout: return "Gateway time-out";
        case errc::version_not_supported: return "HTTP version not supported";
        default: return "Unknown HTTP error";
        }
    }
};

} // namespace detail

const boost::system::error_category& error_category() {
    static const detail::error_category_impl instance;
    return instance;
}

} // namespace http
} // namespace urdl
