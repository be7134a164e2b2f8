#pragma once
// Completion handlers of the client's inner streams. They run on the thread
// that runs the stream's I/O context, never inside the call that starts the
// operation.

#include <boost/system/error_code.hpp>

#include <cstddef>
#include <functional>

namespace urdl {
namespace detail {

typedef std::function<void(const boost::system::error_code&)> open_handler;
typedef std::function<void(const boost::system::error_code&, std::size_t)> read_handler;

} // namespace detail
} // namespace urdl
