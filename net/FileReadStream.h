#pragma once
// The "file" scheme of the client: the URL's unescaped path names a local
// file (UTF-8), read as bytes. Outcomes are posted to the I/O context like
// those of a socket: a file that cannot be opened is
// no_such_file_or_directory, its end is eof.

#include "net/StreamHandlers.h"
#include "net/Url.h"

#include <boost/asio/io_context.hpp>

#include <fstream>

namespace urdl {
namespace detail {

class file_read_stream {
public:
    explicit file_read_stream(boost::asio::io_context& io) : io_(io) {}
    file_read_stream(const file_read_stream&) = delete;
    file_read_stream& operator=(const file_read_stream&) = delete;

    void async_open(const url& target, open_handler handler);
    void async_read_some(char* data, std::size_t size, read_handler handler);
    void close(boost::system::error_code& ec);
    bool is_open() const { return file_.is_open(); }

private:
    boost::asio::io_context& io_;
    std::ifstream file_;
};

} // namespace detail
} // namespace urdl
