#pragma once
// The largest body a caller takes from one download, an option of the
// client like those of HttpOptions.h (urdl::istream::set_option). An HTTP
// answer whose Content-Length is larger fails the open; a body that grows
// past it fails the read that crosses it; both with
// http::errc::body_too_large, and the connection is closed at once. By
// default a body may be of any size.

#include <cstddef>
#include <limits>

namespace urdl {

class max_body_size {
public:
    max_body_size() = default;
    explicit max_body_size(std::size_t bytes) : value_(bytes) {}
    std::size_t value() const { return value_; }

private:
    std::size_t value_ = std::numeric_limits<std::size_t>::max();
};

} // namespace urdl
