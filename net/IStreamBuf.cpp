#include "net/IStreamBuf.h"

#include "net/Cancellation.h"
#include "net/HttpError.h"
#include "net/ReadStream.h"
#include "net/StreamLimits.h"

#include <boost/asio/error.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/system/system_error.hpp>

#include <algorithm>
#include <chrono>

namespace urdl {

namespace {
const std::size_t buffer_size = 512;
// Kept free in front of each refill for characters put back.
const std::size_t putback_size = 8;
const std::size_t data_size = buffer_size - putback_size;
const std::size_t default_timeout = 300000;

typedef std::chrono::steady_clock clock_type;

// `milliseconds` after `start`; a year at most, which is never anyway, so
// that no time-out a caller sets can overflow the clock.
clock_type::time_point later(clock_type::time_point start, std::size_t milliseconds) {
    const std::size_t year = std::size_t(365) * 24 * 3600 * 1000;
    return start + std::chrono::milliseconds(std::min(milliseconds, year));
}
} // namespace

struct istreambuf::body {
    body() : stream(io), timer(io) {}

    // What one download may take, read from the options as it opens.
    void begin_request() {
        const option_set& options = stream.options();
        max_body = options.get_option<max_body_size>().value();
        received = 0;
        deadline = later(clock_type::now(), request_timeout);
        cancel_watch.reset();
        cancel_switch = options.get_option<cancellation>();
        cancelled = false;
        cancel_watch = cancel_switch.on_cancel([this] { boost::asio::post(io, [this] { stop(true); }); });
    }

    // Runs one operation of the read stream until it completes, its
    // time-out or the request's runs out, or the download is cancelled;
    // either of the last ends the operation by cancelling the stream. The
    // operation calls operation_completed() from its handler.
    template <class Start>
    void run(std::size_t timeout, Start start) {
        done = false;
        timed_out = false;
        read_count = 0;
        const clock_type::time_point expiry = std::min(later(clock_type::now(), timeout), deadline);
        if (cancel_switch.cancelled())
            cancelled = true;
        if (cancelled || expiry <= clock_type::now()) {
            error = cancelled ? make_error_code(boost::asio::error::operation_aborted)
                              : make_error_code(boost::system::errc::timed_out);
            return;
        }
        start();
        timer.expires_at(expiry);
        timer.async_wait([this](const boost::system::error_code& ec) {
            if (ec != boost::asio::error::operation_aborted && !done)
                stop(false);
        });
        io.restart();
        io.run();
        if (cancelled)
            error = boost::asio::error::operation_aborted;
        else if (timed_out)
            error = make_error_code(boost::system::errc::timed_out);
    }

    void stop(bool by_cancel) {
        if (by_cancel)
            cancelled = true;
        else
            timed_out = true;
        stream.cancel();
    }

    void operation_completed(const boost::system::error_code& ec, std::size_t count) {
        done = true;
        error = ec;
        read_count = count;
        timer.cancel();
    }

    // Ends a download whose body is larger than the caller takes.
    void refuse_body() {
        boost::system::error_code ignored;
        stream.close(ignored);
        error = http::errc::body_too_large;
    }

    char buffer[buffer_size];
    boost::asio::io_context io;
    boost::system::error_code error;
    detail::read_stream stream;
    boost::asio::steady_timer timer;
    std::size_t open_timeout = default_timeout;
    std::size_t read_timeout = default_timeout;
    std::size_t request_timeout = default_timeout;
    // Of the running download.
    std::size_t max_body = 0;
    std::size_t received = 0;
    clock_type::time_point deadline = clock_type::time_point::max();
    cancellation cancel_switch;
    // State of the operation being run; members, not locals, so that no
    // handler ever refers to a finished call's stack.
    bool done = false;
    bool timed_out = false;
    bool cancelled = false;
    std::size_t read_count = 0;
    // Last, so that it goes first: no cancel is posted to a dying context.
    std::unique_ptr<cancellation::watch> cancel_watch;
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
    b->begin_request();
    b->run(b->open_timeout, [b, &target] {
        b->stream.async_open(target,
                             [b](const boost::system::error_code& ec) { b->operation_completed(ec, 0); });
    });
    // A body announced larger than the caller takes is not read at all.
    if (!b->error && b->stream.protocol() == detail::read_stream::protocol_http &&
        b->stream.http().content_length() > b->max_body)
        b->refuse_body();
    return b->error ? nullptr : this;
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
std::size_t istreambuf::request_timeout() const { return body_->request_timeout; }
void istreambuf::set_request_timeout(std::size_t milliseconds) { body_->request_timeout = milliseconds; }

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
    b->run(b->read_timeout, [b, data] {
        b->stream.async_read_some(data, data_size,
                                  [b](const boost::system::error_code& ec, std::size_t count) {
                                      b->operation_completed(ec, count);
                                  });
    });
    const std::size_t count = b->read_count;

    if (!b->error && count > 0) {
        if (count > b->max_body - b->received) {
            b->refuse_body();
            throw boost::system::system_error(b->error);
        }
        b->received += count;
        setg(b->buffer, data, data + count);
        return traits_type::to_int_type(*gptr());
    }
    if (!b->error || b->error == boost::asio::error::eof) {
        b->error = boost::system::error_code();
        return traits_type::eof();
    }
    throw boost::system::system_error(b->error);
}

} // namespace urdl
