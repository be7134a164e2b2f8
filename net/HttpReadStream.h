#pragma once
// The "http" scheme of the client: one open is one HTTP/1.0 exchange
// (resolve, connect, send the request, read the status line and the header
// block); the body is then read until the server closes the connection,
// whatever Content-Length says. A status other than 200 ends the open with
// that status in the "HTTP" category (HttpError.h); the socket then stays
// open until close(). Up to max_interim_answers interim (1xx) answers are
// passed over; one more ends the open with too_many_interim_responses. A
// host holding anything but visible ASCII ends it with invalid_argument, and
// port 0 with port_zero, before any look-up or connection.
// The name is looked up with the host_lookup option (HostLookup.h). All
// operations run on the thread that runs the I/O context; cancel() (the
// owner's time-out) makes any running open end with operation_aborted, at
// once even while the name is being looked up, and never lets it connect
// again.

#include "net/HostResolver.h"
#include "net/HttpMessage.h"
#include "net/OptionSet.h"
#include "net/StreamHandlers.h"
#include "net/Url.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/streambuf.hpp>

#include <memory>
#include <string>

namespace urdl {
namespace detail {

class http_read_stream {
public:
    static constexpr int max_interim_answers = 8;

    http_read_stream(boost::asio::io_context& io, const option_set& options);
    http_read_stream(const http_read_stream&) = delete;
    http_read_stream& operator=(const http_read_stream&) = delete;

    void async_open(const url& target, open_handler handler);
    // Hands out the body bytes that came with the header block first.
    void async_read_some(char* data, std::size_t size, read_handler handler);
    void close(boost::system::error_code& ec);
    void cancel();
    bool is_open() const { return socket_.is_open(); }

    const std::string& content_type() const { return fields_.content_type; }
    const std::string& headers() const { return headers_; }
    std::size_t content_length() const { return fields_.content_length; }
    const std::string& location() const { return fields_.location; }

private:
    class open_operation;

    boost::asio::io_context& io_;
    host_resolver resolver_;
    boost::asio::ip::tcp::socket socket_;
    const option_set& options_;
    boost::asio::streambuf request_buffer_;
    boost::asio::streambuf reply_buffer_;
    std::string headers_;
    http_header_fields fields_;
    bool cancelled_ = false;
};

} // namespace detail
} // namespace urdl
