#include "net/Url.h"

#include <boost/system/system_error.hpp>

#include <algorithm>
#include <string_view>
#include <tuple>

namespace urdl {

namespace {

bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }

bool is_ascii_alnum(char c) {
    return is_ascii_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int hex_value(char c) {
    if (is_ascii_digit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A port as written: decimal digits of a number up to 65535.
bool port_number(const std::string& digits, unsigned short& number) {
    unsigned long value = 0;
    for (char c : digits) {
        if (!is_ascii_digit(c))
            return false;
        value = value * 10 + static_cast<unsigned long>(c - '0');
        if (value > 65535)
            return false;
    }
    number = static_cast<unsigned short>(value);
    return !digits.empty();
}

bool is_path_character(char c) {
    // Not a std::string: downloads run on detached threads that may still
    // parse an address while the process ends and destroys its statics.
    constexpr std::string_view marks = "!$&'()*+,-./:;=@_~";
    return is_ascii_alnum(c) || marks.find(c) != std::string_view::npos;
}

// Decodes percent-escapes; false on a character a path may not hold or on a
// broken escape.
bool unescape_path(const std::string& in, std::string& out) {
    out.clear();
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '%') {
            if (in.size() - i < 3)
                return false;
            const int high = hex_value(in[i + 1]);
            const int low = hex_value(in[i + 2]);
            if (high < 0 || low < 0)
                return false;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else if (is_path_character(c)) {
            out += c;
        } else {
            return false;
        }
    }
    return true;
}

std::string ascii_lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

url parse_failed(boost::system::error_code& ec) {
    ec = make_error_code(boost::system::errc::invalid_argument);
    return url();
}

} // namespace

url::url(const char* text) : url(std::string(text ? text : "")) {}

url::url(const std::string& text) {
    boost::system::error_code ec;
    *this = from_string(text, ec);
    if (ec)
        throw boost::system::system_error(ec);
}

url url::from_string(const char* text, boost::system::error_code& ec) {
    return from_string(std::string(text ? text : ""), ec);
}

url url::from_string(const std::string& text, boost::system::error_code& ec) {
    url parsed;
    std::size_t pos = text.find(':');
    if (pos == std::string::npos)
        return parse_failed(ec);
    parsed.protocol_ = ascii_lower(text.substr(0, pos));
    if (text.compare(pos + 1, 2, "//") != 0)
        return parse_failed(ec);
    pos += 3;

    // User info: the text before an "@" that comes before the host ends.
    std::size_t stop = text.find_first_of("@:[/?#", pos);
    if (stop != std::string::npos && text[stop] == '@') {
        parsed.user_info_ = text.substr(pos, stop - pos);
        pos = stop + 1;
    } else if (stop != std::string::npos && text[stop] == ':') {
        const std::size_t at = text.find_first_of("@/?#", stop);
        if (at != std::string::npos && text[at] == '@') {
            parsed.user_info_ = text.substr(pos, at - pos);
            pos = at + 1;
        }
    }

    if (pos < text.size() && text[pos] == '[') {
        const std::size_t close = text.find(']', pos);
        if (close == std::string::npos)
            return parse_failed(ec);
        parsed.host_ = text.substr(pos + 1, close - pos - 1);
        parsed.ipv6_host_ = true;
        pos = close + 1;
        if (pos < text.size() && std::string(":/?#").find(text[pos]) == std::string::npos)
            return parse_failed(ec);
    } else {
        stop = std::min(text.find_first_of(":/?#", pos), text.size());
        parsed.host_ = text.substr(pos, stop - pos);
        pos = stop;
    }

    if (pos < text.size() && text[pos] == ':') {
        stop = std::min(text.find_first_of("/?#", pos + 1), text.size());
        parsed.port_ = text.substr(pos + 1, stop - pos - 1);
        unsigned short number = 0;
        if (!port_number(parsed.port_, number))
            return parse_failed(ec);
        pos = stop;
    }

    if (pos < text.size() && text[pos] == '/') {
        stop = std::min(text.find_first_of("?#", pos), text.size());
        parsed.path_ = text.substr(pos, stop - pos);
        std::string unescaped;
        if (!unescape_path(parsed.path_, unescaped))
            return parse_failed(ec);
        pos = stop;
    } else {
        parsed.path_ = "/";
    }

    if (pos < text.size() && text[pos] == '?') {
        stop = std::min(text.find('#', pos + 1), text.size());
        parsed.query_ = text.substr(pos + 1, stop - pos - 1);
        pos = stop;
    }

    if (pos < text.size() && text[pos] == '#')
        parsed.fragment_ = text.substr(pos + 1);

    ec = boost::system::error_code();
    return parsed;
}

unsigned short url::port() const {
    unsigned short number = 0;
    if (port_number(port_, number))
        return number;
    if (protocol_ == "http")
        return 80;
    if (protocol_ == "https")
        return 443;
    if (protocol_ == "ftp")
        return 21;
    return 0;
}

std::string url::path() const {
    std::string unescaped;
    unescape_path(path_, unescaped);
    return unescaped;
}

std::string url::to_string(int components) const {
    std::string s;
    if ((components & protocol_component) && !protocol_.empty())
        s += protocol_ + "://";
    if ((components & user_info_component) && !user_info_.empty())
        s += user_info_ + "@";
    if (components & host_component)
        s += ipv6_host_ ? "[" + host_ + "]" : host_;
    if ((components & port_component) && !port_.empty())
        s += ":" + port_;
    if ((components & path_component) && !path_.empty())
        s += path_;
    if ((components & query_component) && !query_.empty())
        s += "?" + query_;
    if ((components & fragment_component) && !fragment_.empty())
        s += "#" + fragment_;
    return s;
}

bool operator==(const url& a, const url& b) {
    return a.protocol_ == b.protocol_ && a.user_info_ == b.user_info_ && a.host_ == b.host_ &&
           a.port_ == b.port_ && a.path_ == b.path_ && a.query_ == b.query_ &&
           a.fragment_ == b.fragment_;
}

bool operator<(const url& a, const url& b) {
    return std::tie(a.protocol_, a.user_info_, a.host_, a.port_, a.path_, a.query_, a.fragment_) <
           std::tie(b.protocol_, b.user_info_, b.host_, b.port_, b.path_, b.query_, b.fragment_);
}

} // namespace urdl
