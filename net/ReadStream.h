#pragma once
// The client's scheme dispatch: "http" and "file" URLs, anything else fails
// with operation_not_supported. Answers 301 and 302 are followed to their
// Location, at most max_redirects times in one open (the next one ends it
// with http::errc::too_many_redirects); a Location that is not a complete
// http URL ends the open with http::errc::redirect_not_a_url (a relative or
// empty address, or no URL at all) or operation_not_supported (another
// scheme: a web server never gets to open local files); one to port 0 with http::errc::port_zero before any
// connection (HttpReadStream.h). Runs on the thread that runs the I/O
// context; cancel() stops a running open for good.

#include "net/FileReadStream.h"
#include "net/HttpReadStream.h"
#include "net/OptionSet.h"
#include "net/StreamHandlers.h"
#include "net/Url.h"

#include <boost/asio/io_context.hpp>

namespace urdl {
namespace detail {

class read_stream {
public:
    enum protocol_type { protocol_none, protocol_file, protocol_http };
    static constexpr int max_redirects = 10;

    explicit read_stream(boost::asio::io_context& io);
    read_stream(const read_stream&) = delete;
    read_stream& operator=(const read_stream&) = delete;

    option_set& options() { return options_; }
    const option_set& options() const { return options_; }

    void async_open(const url& target, open_handler handler);
    void async_read_some(char* data, std::size_t size, read_handler handler);
    void close(boost::system::error_code& ec);
    // The owner's time-out: closes whatever is open and keeps a running open
    // from following another redirect.
    void cancel();
    bool is_open() const;

    protocol_type protocol() const { return protocol_; }
    const http_read_stream& http() const { return http_; }

private:
    void dispatch(const url& target, const open_handler& handler);
    void on_http_opened(const boost::system::error_code& ec, const open_handler& handler);

    boost::asio::io_context& io_;
    option_set options_;
    file_read_stream file_;
    http_read_stream http_;
    protocol_type protocol_ = protocol_none;
    int redirects_ = 0; // followed in the running open
    bool cancelled_ = false;
};

} // namespace detail
} // namespace urdl
