#include "net/ReadStream.h"

#include "net/HttpError.h"

#include <boost/asio/error.hpp>
#include <boost/asio/post.hpp>

namespace urdl {
namespace detail {

read_stream::read_stream(boost::asio::io_context& io) : io_(io), file_(io), http_(io, options_) {}

void read_stream::async_open(const url& target, open_handler handler) {
    cancelled_ = false;
    redirects_ = 0;
    dispatch(target, handler);
}

void read_stream::dispatch(const url& target, const open_handler& handler) {
    if (target.protocol() == "file") {
        protocol_ = protocol_file;
        file_.async_open(target, handler);
    } else if (target.protocol() == "http") {
        protocol_ = protocol_http;
        http_.async_open(target, [this, handler](const boost::system::error_code& ec) {
            on_http_opened(ec, handler);
        });
    } else {
        boost::asio::post(io_, [handler] { handler(boost::asio::error::operation_not_supported); });
    }
}

void read_stream::on_http_opened(const boost::system::error_code& ec, const open_handler& handler) {
    if (ec != http::errc::moved_permanently && ec != http::errc::found)
        return handler(ec);
    if (++redirects_ > max_redirects)
        return handler(http::errc::too_many_redirects);
    boost::system::error_code parse_error;
    const url next = url::from_string(http_.location(), parse_error);
    if (parse_error)
        return handler(http::errc::redirect_not_a_url);
    if (next.protocol() != "http")
        return handler(boost::asio::error::operation_not_supported);
    if (cancelled_)
        return handler(boost::asio::error::operation_aborted);
    boost::system::error_code ignored;
    http_.close(ignored);
    dispatch(next, handler);
}

void read_stream::async_read_some(char* data, std::size_t size, read_handler handler) {
    switch (protocol_) {
    case protocol_file:
        return file_.async_read_some(data, size, std::move(handler));
    case protocol_http:
        return http_.async_read_some(data, size, std::move(handler));
    case protocol_none:
        break;
    }
    boost::asio::post(io_, [handler] { handler(boost::asio::error::bad_descriptor, 0); });
}

void read_stream::close(boost::system::error_code& ec) {
    switch (protocol_) {
    case protocol_file:
        return file_.close(ec);
    case protocol_http:
        return http_.close(ec);
    case protocol_none:
        break;
    }
    ec = boost::system::error_code();
}

void read_stream::cancel() {
    cancelled_ = true;
    boost::system::error_code ignored;
    file_.close(ignored);
    http_.cancel();
}

bool read_stream::is_open() const {
    switch (protocol_) {
    case protocol_file:
        return file_.is_open();
    case protocol_http:
        return http_.is_open();
    case protocol_none:
        break;
    }
    return false;
}

} // namespace detail
} // namespace urdl
