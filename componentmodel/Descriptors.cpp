#include "componentmodel/Descriptors.h"

#include <cerrno>

#include <poll.h>
#include <unistd.h>

namespace ComponentModel {

void closeIfOpen(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

bool writeAll(int fd, const void* bytes, std::size_t size, std::chrono::steady_clock::time_point giveUp)
{
    const char* at = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t written = ::write(fd, at, size);
        if (written > 0) {
            at += written;
            size -= std::size_t(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written == 0 || errno != EAGAIN || std::chrono::steady_clock::now() >= giveUp)
            return false;
        pollfd room{fd, POLLOUT, 0};
        ::poll(&room, 1, 50);
    }
    return true;
}

} // namespace ComponentModel
