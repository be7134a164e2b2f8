#pragma once
// Plain system calls on a file descriptor that several pieces of the
// program make alike: closing one that may not be open, and writing all
// of a message to a pipe or socket that may be full or gone. Any thread;
// no Qt, no allocation. Throw nothing.

#include <chrono>
#include <cstddef>

namespace ComponentModel {

// Closes `fd` unless it is negative (never opened, or already given away).
void closeIfOpen(int fd);

// Writes all `size` bytes of `bytes` to `fd`, again after an interruption
// and, on a descriptor that does not wait (O_NONBLOCK), once it has room,
// up to `giveUp`: false when that passed first or the write failed (errno
// says why: EPIPE when the reader has gone).
bool writeAll(int fd, const void* bytes, std::size_t size,
              std::chrono::steady_clock::time_point giveUp = std::chrono::steady_clock::time_point::max());

} // namespace ComponentModel
