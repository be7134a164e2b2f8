#include "net/HttpMessage.h"

#include "net/HttpOptions.h"

#include <algorithm>
#include <climits>

namespace urdl {
namespace detail {

namespace {

bool is_char(unsigned char c) { return c <= 127; }
bool is_ctl(unsigned char c) { return c <= 31 || c == 127; }
bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

bool is_tspecial(unsigned char c) {
    switch (c) {
    case '(': case ')': case '<': case '>': case '@': case ',': case ';': case ':':
    case '\\': case '"': case '/': case '[': case ']': case '?': case '=': case '{':
    case '}': case ' ': case '\t':
        return true;
    default:
        return false;
    }
}

bool is_visible(unsigned char c) { return c >= 0x21 && c <= 0x7E; }

std::string visible_ascii(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (is_visible(byte)) {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        }
    }
    return out;
}

bool is_name_char(unsigned char c) { return is_char(c) && !is_ctl(c) && !is_tspecial(c); }
bool is_value_char(unsigned char c) { return !is_ctl(c); }

bool iequals(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return i == a.size() && !b[i];
}

// Reads a number the way atoi does (leading blanks, a sign, digits up to the
// first other character; none give 0), saturating instead of overflowing.
long long leading_integer(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && is_digit(static_cast<unsigned char>(text[i])); ++i) {
        if (value < LLONG_MAX / 10)
            value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

void process_header(const std::string& name, const std::string& value, http_header_fields& fields) {
    if (iequals(name, "Content-Type"))
        fields.content_type = value;
    else if (iequals(name, "Content-Length"))
        fields.content_length = static_cast<std::size_t>(leading_integer(value));
    else if (iequals(name, "Location"))
        fields.location = value;
}

} // namespace

std::string build_http_request(const url& target, const option_set& options) {
    const std::string method = options.get_option<http::request_method>().value();
    const std::string content = options.get_option<http::request_content>().value();
    const std::string content_type = options.get_option<http::request_content_type>().value();
    const std::string agent = options.get_option<http::user_agent>().value();
    const std::string connection = options.get_option<http::connection_type>().value();
    const http::additional_headers::list extra =
        options.get_option<http::additional_headers>().value();

    std::string request = method + " " +
                          visible_ascii(target.to_string(url::path_component | url::query_component)) +
                          " HTTP/1.0\r\n";
    request += "Host: " + target.to_string(url::host_component | url::port_component) + "\r\n";
    request += "Accept: */*\r\n";
    if (!content.empty()) {
        request += "Content-Length: " + std::to_string(content.size()) + "\r\n";
        if (!content_type.empty())
            request += "Content-Type: " + content_type + "\r\n";
    }
    if (!agent.empty())
        request += "User-Agent: " + agent + "\r\n";
    // Two blanks end each extra header line; optional white space that
    // servers drop, kept so that the bytes stay what peers have seen.
    for (const auto& header : extra)
        request += header.first + ": " + header.second + "  \r\n";
    if (!connection.empty())
        request += "Connection: " + connection + "\r\n";
    request += "\r\n";
    request += content;
    return request;
}

bool is_sendable_host(const url& target) {
    const std::string& host = target.host();
    return !host.empty() && std::all_of(host.begin(), host.end(),
                                        [](char c) { return is_visible(static_cast<unsigned char>(c)); });
}

bool parse_http_status_line(const char* text, std::size_t size, int& status, std::size_t& length) {
    std::size_t i = 0;
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    auto digits = [&](int* value) {
        const std::size_t first = i;
        while (i < size && is_digit(at(i))) {
            if (value && *value < 100000)
                *value = *value * 10 + (at(i) - '0');
            ++i;
        }
        return i > first;
    };
    static const char prefix[] = "HTTP/";
    for (const char* p = prefix; *p; ++p, ++i)
        if (i >= size || text[i] != *p)
            return false;
    if (!digits(nullptr))
        return false;
    if (i >= size || text[i++] != '.')
        return false;
    if (!digits(nullptr))
        return false;
    if (i >= size || text[i++] != ' ')
        return false;
    int code = 0;
    if (!digits(&code))
        return false;
    if (i >= size || text[i++] != ' ')
        return false;
    while (i < size && !is_ctl(at(i)))
        ++i;
    if (i + 1 >= size || text[i] != '\r' || text[i + 1] != '\n')
        return false;
    status = code;
    length = i + 2;
    return true;
}

bool parse_http_headers(const std::string& block, http_header_fields& result) {
    http_header_fields fields;
    enum state_type {
        first_line_start,
        line_start,
        in_name,
        after_colon,
        in_value,
        expect_newline,
        continuation,
        expect_final_newline
    } state = first_line_start;

    std::string name;
    std::string value;
    bool have_header = false;
    auto hand_over = [&] {
        if (have_header)
            process_header(name, value, fields);
        have_header = false;
    };

    for (char ch : block) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (state) {
        case first_line_start:
        case line_start:
            if (c == '\r') {
                hand_over();
                state = expect_final_newline;
            } else if (state == line_start && (c == ' ' || c == '\t')) {
                state = continuation;
            } else if (is_name_char(c)) {
                hand_over();
                name.assign(1, ch);
                value.clear();
                have_header = true;
                state = in_name;
            } else {
                return false;
            }
            break;
        case in_name:
            if (c == ':')
                state = after_colon;
            else if (is_name_char(c))
                name += ch;
            else
                return false;
            break;
        case after_colon:
            if (c != ' ')
                return false;
            state = in_value;
            break;
        case in_value:
            if (c == '\r')
                state = expect_newline;
            else if (is_value_char(c))
                value += ch;
            else
                return false;
            break;
        case expect_newline:
            if (c != '\n')
                return false;
            state = line_start;
            break;
        case continuation:
            if (c == ' ' || c == '\t') {
                // leading white space of a continuation line is dropped
            } else if (c == '\r') {
                state = expect_newline;
            } else if (is_value_char(c)) {
                value += ch;
                state = in_value;
            } else {
                return false;
            }
            break;
        case expect_final_newline:
            if (c != '\n')
                return false;
            result = fields;
            return true;
        }
    }
    return false;
}

} // namespace detail
} // namespace urdl
