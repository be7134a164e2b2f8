#include "net/IStreamBuf.h"

#include "net/ReadStream.h"

#include <boost/asio/error.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/system/system_error.hpp>

#include <chrono>

namespace urdl {

namespace {
const std::size_t buffer_size = 512;
// Kept free in front of each refill for characters put back.
const std::size_t putback_size = 8;
const std::size_t data_size = buffer_size - putback_size;
const std::size_t default_timeout = 300000;
} // namespace

struct istreambuf::body {
    body() : stream(io), timer(io) {}

    // Runs one operation of the read stream until it completes or the
    // time-out runs out; the time-out cancels the stream, which ends the
    // operation. The operation calls operation_completed() from its
    // handler. Returns true when the time-out fired before completion.
    template <class Start>
    bool run_with_timeout(std::size_t timeout, Start start) {
        done = false;
        timed_out = false;
        start();
        timer.expires_after(std::chrono::milliseconds(timeout));
        timer.async_wait([this](const boost::system::error_code& ec) {
            if (ec == boost::asio::error::operation_aborted || done)
                return;
            timed_out = true;
            stream.cancel();
        });
        io.restart();
        io.run();
        return timed_out;
    }

    void operation_completed(const boost::system::error_code& ec, std::size_t count) {
        done = true;
        error = ec;
        read_count = count;
        timer.cancel();
    }

    char buffer[buffer_size];
    boost::asio::io_context io;
    boost::system::error_code error;
    detail::read_stream stream;
    boost::asio::steady_timer timer;
    std::size_t open_timeout = default_timeout;
    std::size_t read_timeout = default_timeout;
    // State of the operation being run; members, not locals, so that no
    // handler ever refers to a finished call's stack.
    bool done = false;
    bool timed_out = false;
    std::size_t read_count = 0;
};

istreambuf::istreambuf() : body_(new body) { setg(body_->buffer, body_->buffer, body_->buffer); }

istreambuf::~istreambuf() {
    try {
        body_.reset();
    } catch (const std::exception&) {
        // Nothing can be reported from here; the resources are gone anyway.
    }
}

istreambuf* istreambuf::open(const url& target) {
    if (is_open())
        return nullptr;
    char* data = body_->buffer + putback_size;
    setg(body_->buffer, data, data);
    body_->stream.close(body_->error);

    body* b = body_.get();
    const bool timed_out = b->run_with_timeout(b->open_timeout, [b, &target] {
        b->stream.async_open(target,
                             [b](const boost::system::error_code& ec) { b->operation_completed(ec, 0); });
    });
    if (timed_out)
        body_->error = make_error_code(boost::system::errc::timed_out);
    return body_->error ? nullptr : this;
}

istreambuf* istreambuf::close() {
    if (!is_open())
        return nullptr;
    body_->stream.close(body_->error);
    if (body_->error)
        return nullptr;
    char* data = body_->buffer + putback_size;
    setg(body_->buffer, data, data);
    return this;
}

bool istreambuf::is_open() const { return body_->stream.is_open(); }

void istreambuf::set_options(const option_set& options) { body_->stream.options().set_options(options); }

option_set istreambuf::get_options() const { return body_->stream.options(); }

const boost::system::error_code& istreambuf::error() const { return body_->error; }

std::size_t istreambuf::open_timeout() const { return body_->open_timeout; }
void istreambuf::set_open_timeout(std::size_t milliseconds) { body_->open_timeout = milliseconds; }
std::size_t istreambuf::read_timeout() const { return body_->read_timeout; }
void istreambuf::set_read_timeout(std::size_t milliseconds) { body_->read_timeout = milliseconds; }

std::string istreambuf::content_type() const {
    if (body_->stream.protocol() != detail::read_stream::protocol_http)
        return std::string();
    return body_->stream.http().content_type();
}

std::string istreambuf::headers() const {
    if (body_->stream.protocol() != detail::read_stream::protocol_http)
        return std::string();
    return body_->stream.http().headers();
}

std::size_t istreambuf::content_length() const {
    if (body_->stream.protocol() != detail::read_stream::protocol_http)
        return static_cast<std::size_t>(-1);
    return body_->stream.http().content_length();
}

istreambuf::int_type istreambuf::underflow() {
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    char* data = body_->buffer + putback_size;
    body* b = body_.get();
    const bool timed_out = b->run_with_timeout(b->read_timeout, [b, data] {
        b->stream.async_read_some(data, data_size,
                                  [b](const boost::system::error_code& ec, std::size_t count) {
                                      b->operation_completed(ec, count);
                                  });
    });
    if (timed_out)
        body_->error = make_error_code(boost::system::errc::timed_out);
    const std::size_t count = b->read_count;

    if (!body_->error && count > 0) {
        setg(body_->buffer, data, data + count);
        return traits_type::to_int_type(*gptr());
    }
    if (!body_->error || body_->error == boost::asio::error::eof) {
        body_->error = boost::system::error_code();
        return traits_type::eof();
    }
    throw boost::system::system_error(body_->error);
}

} // namespace urdl
