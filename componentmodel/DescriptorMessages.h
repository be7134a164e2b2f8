#pragma once
// Messages over a Unix socket that carry descriptors with them
// (SCM_RIGHTS), kept whole by a SOCK_SEQPACKET socket. A received
// descriptor is close-on-exec. Any thread; plain system calls, no Qt.

#include <cstddef>
#include <vector>

#include <sys/types.h>

namespace ComponentModel {

// Sends `data` with the descriptors `fds`, never waiting: false (errno
// set) when the peer is gone, or EAGAIN when the socket has no room.
bool sendWithDescriptors(int socket, const void* data, std::size_t size, const std::vector<int>& fds);

// Receives a message into `data` and up to `most` descriptors into `fds`:
// its size, 0 when the peer is gone, -1 on an error.
ssize_t receiveWithDescriptors(int socket, void* data, std::size_t size, std::vector<int>* fds, std::size_t most);

// Whether `fd` has something to read (or its end) within `ms`.
bool readableWithin(int fd, int ms);

} // namespace ComponentModel
