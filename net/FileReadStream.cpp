#include "net/FileReadStream.h"

#include <boost/asio/error.hpp>
#include <boost/asio/post.hpp>

namespace urdl {
namespace detail {

void file_read_stream::async_open(const url& target, open_handler handler) {
    file_.clear();
    file_.open(target.path(), std::ios::in | std::ios::binary);
    boost::system::error_code ec;
    if (!file_)
        ec = make_error_code(boost::system::errc::no_such_file_or_directory);
    boost::asio::post(io_, [handler, ec] { handler(ec); });
}

void file_read_stream::async_read_some(char* data, std::size_t size, read_handler handler) {
    boost::system::error_code ec;
    std::size_t count = 0;
    if (!file_) {
        ec = boost::asio::error::eof;
    } else if (size > 0) {
        file_.read(data, static_cast<std::streamsize>(size));
        count = static_cast<std::size_t>(file_.gcount());
        if (count == 0 && !file_)
            ec = boost::asio::error::eof;
    }
    boost::asio::post(io_, [handler, ec, count] { handler(ec, count); });
}

void file_read_stream::close(boost::system::error_code& ec) {
    if (file_.is_open())
        file_.close();
    file_.clear();
    ec = boost::system::error_code();
}

} // namespace detail
} // namespace urdl
