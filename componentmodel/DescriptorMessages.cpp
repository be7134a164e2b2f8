#include "componentmodel/DescriptorMessages.h"

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>

namespace ComponentModel {

bool sendWithDescriptors(int socket, const void* data, std::size_t size, const std::vector<int>& fds)
{
    iovec part{const_cast<void*>(data), size};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    std::vector<char> control(CMSG_SPACE(sizeof(int) * fds.size()));
    if (!fds.empty()) {
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int) * fds.size());
        std::memcpy(CMSG_DATA(header), fds.data(), sizeof(int) * fds.size());
    }
    ssize_t sent;
    while ((sent = ::sendmsg(socket, &message, MSG_NOSIGNAL | MSG_DONTWAIT)) < 0 && errno == EINTR) {
    }
    return sent == ssize_t(size);
}

ssize_t receiveWithDescriptors(int socket, void* data, std::size_t size, std::vector<int>* fds, std::size_t most)
{
    iovec part{data, size};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    std::vector<char> control(CMSG_SPACE(sizeof(int) * most));
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    ssize_t received;
    while ((received = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC)) < 0 && errno == EINTR) {
    }
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); received >= 0 && header;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS)
            continue;
        const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(header) + i * sizeof(int), sizeof fd);
            fds->push_back(fd);
        }
    }
    return received;
}

bool readableWithin(int fd, int ms)
{
    pollfd watched{fd, POLLIN, 0};
    int ready;
    while ((ready = ::poll(&watched, 1, ms)) < 0 && errno == EINTR) {
    }
    return ready > 0;
}

} // namespace ComponentModel
