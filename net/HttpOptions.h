#pragma once
// The request options of the HTTP client, each a small value class. A
// default-constructed option holds the value the client uses when the
// option set has none: method "GET", no body, no content type, no
// User-Agent line, connection "close", no extra headers.

#include <string>
#include <utility>
#include <vector>

namespace urdl {
namespace http {

namespace detail {

template <class Tag>
class text_option {
public:
    text_option() : value_(Tag::default_value()) {}
    explicit text_option(std::string value) : value_(std::move(value)) {}
    const std::string& value() const { return value_; }
    void value(const std::string& value) { value_ = value; }

private:
    std::string value_;
};

struct request_method_tag {
    static const char* default_value() { return "GET"; }
};
struct request_content_tag {
    static const char* default_value() { return ""; }
};
struct request_content_type_tag {
    static const char* default_value() { return ""; }
};
struct user_agent_tag {
    static const char* default_value() { return ""; }
};
struct connection_type_tag {
    static const char* default_value() { return "close"; }
};

} // namespace detail

typedef detail::text_option<detail::request_method_tag> request_method;
typedef detail::text_option<detail::request_content_tag> request_content;
typedef detail::text_option<detail::request_content_type_tag> request_content_type;
typedef detail::text_option<detail::user_agent_tag> user_agent;
typedef detail::text_option<detail::connection_type_tag> connection_type;

// Extra request headers, sent in order after the User-Agent line.
class additional_headers {
public:
    typedef std::vector<std::pair<std::string, std::string>> list;
    additional_headers() = default;
    explicit additional_headers(list headers) : value_(std::move(headers)) {}
    const list& value() const { return value_; }
    void value(const list& headers) { value_ = headers; }

private:
    list value_;
};

} // namespace http
} // namespace urdl
