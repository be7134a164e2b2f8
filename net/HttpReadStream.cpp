#include "net/HttpReadStream.h"

#include "net/HttpError.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <cstring>
#include <ostream>

namespace urdl {
namespace detail {

namespace {

using boost::asio::ip::tcp;
using boost::system::error_code;

// The status line and the header block together never need more; a server
// that sends more without the expected line ends is answering garbage.
const std::size_t max_answer_head = 1024 * 1024;

// Outcome of a read of the answer head: running out of room is the
// malformed line it stands for.
error_code head_error(const error_code& ec, http::errc::errc_t malformed) {
    if (ec == boost::asio::error::not_found)
        return malformed;
    return ec;
}

bool begins_with(const boost::asio::streambuf& buffer, const char* prefix) {
    const std::size_t length = std::strlen(prefix);
    return buffer.size() >= length && std::memcmp(buffer.data().data(), prefix, length) == 0;
}

} // namespace

// One exchange, as a chain of steps; each step ends by starting an
// asynchronous operation whose completion runs the next.
class http_read_stream::open_operation : public std::enable_shared_from_this<open_operation> {
public:
    open_operation(http_read_stream& stream, const url& target, open_handler handler)
        : stream_(stream), target_(target), handler_(std::move(handler)) {}

    void start() {
        if (stream_.socket_.is_open())
            return post_finish(boost::asio::error::already_open);
        if (!is_sendable_host(target_))
            return post_finish(make_error_code(boost::system::errc::invalid_argument));
        // A connection to port 0 fails only after the look-up, and says less.
        if (target_.port() == 0)
            return post_finish(http::errc::port_zero);
        // Open at once, so that the stream counts as open, and the owner's
        // time-out closes it, while the name is still being looked up.
        error_code ec;
        stream_.socket_.open(tcp::v4(), ec);
        if (ec)
            return post_finish(ec);
        auto self = shared_from_this();
        stream_.resolver_.async_resolve(stream_.options_.get_option<host_lookup>().value(), target_.host(),
                                        std::to_string(target_.port()),
                                        [self](const error_code& ec, const host_lookup::addresses& found) {
                                            self->on_resolved(ec, found);
                                        });
    }

private:
    void on_resolved(const error_code& ec, const host_lookup::addresses& found) {
        if (stream_.cancelled_)
            return finish(boost::asio::error::operation_aborted);
        if (ec)
            return finish(ec);
        endpoints_ = found;
        next_endpoint_ = 0;
        last_error_ = boost::asio::error::host_not_found;
        connect_next();
    }

    // Tries the resolved addresses in order until one connects.
    void connect_next() {
        if (stream_.cancelled_)
            return finish(boost::asio::error::operation_aborted);
        if (next_endpoint_ == endpoints_.size())
            return finish(last_error_);
        const tcp::endpoint endpoint = endpoints_[next_endpoint_++];
        error_code ec;
        stream_.socket_.close(ec);
        stream_.socket_.open(endpoint.protocol(), ec);
        if (ec) {
            last_error_ = ec;
            return connect_next();
        }
        auto self = shared_from_this();
        stream_.socket_.async_connect(endpoint, [self](const error_code& ec) { self->on_connected(ec); });
    }

    void on_connected(const error_code& ec) {
        if (stream_.cancelled_)
            return finish(boost::asio::error::operation_aborted);
        if (ec) {
            last_error_ = ec;
            return connect_next();
        }
        error_code option_error;
        stream_.socket_.set_option(tcp::no_delay(true), option_error);
        if (option_error)
            return finish(option_error);
        send_request();
    }

    void send_request() {
        std::ostream out(&stream_.request_buffer_);
        out << build_http_request(target_, stream_.options_);
        auto self = shared_from_this();
        boost::asio::async_write(stream_.socket_, stream_.request_buffer_,
                                 [self](const error_code& ec, std::size_t) {
                                     if (ec)
                                         return self->finish(ec);
                                     self->read_status_line();
                                 });
    }

    // Reads until the reply buffer holds the delimiter, then runs next with
    // the count up to and including it. A failure ends the open; running out
    // of room counts as the malformed line it stands for.
    template <class Next>
    void read_until(const char* delimiter, http::errc::errc_t malformed, Next next) {
        auto self = shared_from_this();
        boost::asio::async_read_until(stream_.socket_, stream_.reply_buffer_, delimiter,
                                      [self, malformed, next](const error_code& ec, std::size_t length) {
                                          if (ec)
                                              return self->finish(head_error(ec, malformed));
                                          next(length);
                                      });
    }

    void read_status_line() {
        read_until("\r\n", http::errc::malformed_status_line, [this](std::size_t) { parse_status_line(); });
    }

    void parse_status_line() {
        boost::asio::streambuf& reply = stream_.reply_buffer_;
        std::size_t length = 0;
        status_ = 0;
        if (!parse_http_status_line(static_cast<const char*>(reply.data().data()), reply.size(),
                                    status_, length))
            return finish(http::errc::malformed_status_line);
        reply.consume(length);
        if (status_ / 100 == 1 && status_ != http::errc::switching_protocols) {
            // A server may send a few; one that keeps sending them would
            // keep the client busy until the request's time-out.
            if (++interim_answers_ > max_interim_answers)
                return finish(http::errc::too_many_interim_responses);
            return skip_interim_line();
        }
        read_header_block();
    }

    // After an interim answer ("100 Continue"): drop its header lines up to
    // its empty line, then read the real status line. A status line that
    // follows at once, without the empty line, is taken as well.
    void skip_interim_line() {
        read_until("\r\n", http::errc::malformed_status_line, [this](std::size_t line) {
            boost::asio::streambuf& reply = stream_.reply_buffer_;
            if (begins_with(reply, "HTTP/"))
                return parse_status_line();
            reply.consume(line);
            if (line == 2)
                return read_status_line();
            skip_interim_line();
        });
    }

    // An answer without headers has its empty line right after the status
    // line; look for that before searching for "\r\n\r\n".
    void read_header_block() {
        read_until("\r\n", http::errc::malformed_response_headers, [this](std::size_t) {
            if (begins_with(stream_.reply_buffer_, "\r\n"))
                return on_header_block(2);
            read_until("\r\n\r\n", http::errc::malformed_response_headers,
                       [this](std::size_t length) { on_header_block(length); });
        });
    }

    void on_header_block(std::size_t length) {
        boost::asio::streambuf& reply = stream_.reply_buffer_;
        stream_.headers_.assign(static_cast<const char*>(reply.data().data()), length);
        reply.consume(length);
        if (!parse_http_headers(stream_.headers_, stream_.fields_))
            return finish(http::errc::malformed_response_headers);
        if (status_ != http::errc::ok)
            return finish(error_code(status_, http::error_category()));
        finish(error_code());
    }

    void post_finish(const error_code& ec) {
        auto self = shared_from_this();
        boost::asio::post(stream_.io_, [self, ec] { self->finish(ec); });
    }

    void finish(const error_code& ec) {
        open_handler handler = std::move(handler_);
        handler_ = nullptr;
        if (handler)
            handler(ec);
    }

    http_read_stream& stream_;
    url target_;
    open_handler handler_;
    host_lookup::addresses endpoints_;
    std::size_t next_endpoint_ = 0;
    error_code last_error_;
    int status_ = 0;
    int interim_answers_ = 0;
};

http_read_stream::http_read_stream(boost::asio::io_context& io, const option_set& options)
    : io_(io), resolver_(io), socket_(io), options_(options), reply_buffer_(max_answer_head) {}

void http_read_stream::async_open(const url& target, open_handler handler) {
    cancelled_ = false;
    std::make_shared<open_operation>(*this, target, std::move(handler))->start();
}

void http_read_stream::async_read_some(char* data, std::size_t size, read_handler handler) {
    if (reply_buffer_.size() > 0) {
        const std::size_t count = std::min(size, reply_buffer_.size());
        std::memcpy(data, reply_buffer_.data().data(), count);
        reply_buffer_.consume(count);
        boost::asio::post(io_, [handler, count] { handler(boost::system::error_code(), count); });
        return;
    }
    socket_.async_read_some(boost::asio::buffer(data, size), handler);
}

void http_read_stream::close(boost::system::error_code& ec) {
    resolver_.cancel();
    socket_.close(ec);
    if (ec)
        return;
    request_buffer_.consume(request_buffer_.size());
    reply_buffer_.consume(reply_buffer_.size());
    headers_.clear();
    fields_ = http_header_fields();
}

void http_read_stream::cancel() {
    cancelled_ = true;
    boost::system::error_code ignored;
    resolver_.cancel();
    socket_.close(ignored);
}

} // namespace detail
} // namespace urdl
