#include "ShareDevice.h"

#include <linux/fuse.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace kestrel {
namespace share {

namespace {

// The kernel's INIT, as read: its number, and whether it offered parallel
// directory operations. One thread reads and writes.
std::uint64_t init_unique = 0;
bool parallel_dirops_offered = false;

ssize_t read_request(int device, void* buffer, size_t size, void*) {
    const ssize_t got = ::read(device, buffer, size);
    if (got >= static_cast<ssize_t>(sizeof(fuse_in_header) + sizeof(fuse_init_in))) {
        const auto* header = static_cast<const fuse_in_header*>(buffer);
        if (header->opcode == FUSE_INIT) {
            const auto* init = reinterpret_cast<const fuse_init_in*>(header + 1);
            init_unique = header->unique;
            parallel_dirops_offered = (init->flags & FUSE_PARALLEL_DIROPS) != 0;
        }
    }
    return got;
}

ssize_t write_answer(int device, iovec* parts, int count, void*) {
    if (count >= 2 && init_unique != 0 && parts[0].iov_len == sizeof(fuse_out_header) &&
        parts[1].iov_len >= sizeof(fuse_init_out)) {
        const auto* header = static_cast<const fuse_out_header*>(parts[0].iov_base);
        if (header->unique == init_unique && header->error == 0 && parallel_dirops_offered)
            static_cast<fuse_init_out*>(parts[1].iov_base)->flags |= FUSE_PARALLEL_DIROPS;
    }
    return ::writev(device, parts, count);
}

} // namespace

int mount_device(const std::string& mount_point, std::string& why_not) {
    const int device = ::open("/dev/fuse", O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (device < 0) {
        why_not = std::string("/dev/fuse: ") + std::strerror(errno);
        return -1;
    }
    const std::string options = "fd=" + std::to_string(device) + ",rootmode=40000,user_id=" +
                                std::to_string(::getuid()) + ",group_id=" + std::to_string(::getgid()) +
                                ",default_permissions,allow_other";
    if (::mount("kestrel-share", mount_point.c_str(), "fuse.kestrel_hanging_share", MS_NOSUID | MS_NODEV,
                options.c_str()) != 0) {
        why_not = std::strerror(errno);
        ::close(device);
        return -1;
    }
    return device;
}

bool hand_to_session(fuse_session* session, int device) {
    static const fuse_custom_io io = {write_answer, read_request, nullptr, nullptr};
    return fuse_session_custom_io(session, &io, device) == 0;
}

} // namespace share
} // namespace kestrel
