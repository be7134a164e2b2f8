#include "DTRegularFile.h"

#include "DTFailureReason.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace kestrel {

namespace {

int refuse(int error, const std::string& why, std::string* reason) {
    if (reason)
        *reason = why;
    return -error;
}

// The descriptor, switched back to blocking reads (open_regular_file
// opens non-blocking); false, the descriptor closed, when it cannot be.
bool make_blocking(int fd) {
    const int mode = ::fcntl(fd, F_GETFL);
    if (mode != -1 && ::fcntl(fd, F_SETFL, mode & ~O_NONBLOCK) != -1)
        return true;
    const int error = errno;
    ::close(fd);
    errno = error;
    return false;
}

int system_locate_known(const char* path) {
    open_how how{};
    how.flags = O_PATH | O_CLOEXEC;
    how.resolve = RESOLVE_CACHED;
    return static_cast<int>(::syscall(SYS_openat2, AT_FDCWD, path, &how, sizeof how));
}

ssize_t system_read_at_hand(int fd, void* buffer, std::size_t size, off_t offset) {
    iovec piece{buffer, size};
    return ::preadv2(fd, &piece, 1, offset, RWF_NOWAIT);
}

const no_wait_calls system_calls{system_locate_known, system_read_at_hand};
std::atomic<const no_wait_calls*> calls_in_use{&system_calls};

} // namespace

const no_wait_calls& system_no_wait_calls() { return system_calls; }

const no_wait_calls& current_no_wait_calls() { return *calls_in_use.load(); }

void use_no_wait_calls(const no_wait_calls* calls) { calls_in_use.store(calls ? calls : &system_calls); }

const char* file_kind_words(mode_t mode) {
    if (S_ISREG(mode))
        return "a regular file";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

std::string irregular_file_reason(mode_t mode) {
    if (S_ISREG(mode))
        return std::string();
    if (S_ISDIR(mode))
        return errors::file_access_reason(EISDIR);
    const std::string kind = file_kind_words(mode);
    return kind.rfind("not ", 0) == 0 ? kind : "not a regular file: " + kind;
}

std::string missing_file_reason(const std::string& path, int error) {
    struct stat link;
    if (error == ENOENT && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
        return "a link to nothing";
    return errors::file_access_reason(error);
}

std::string file_kind_reason(const std::string& path) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        return missing_file_reason(path, errno);
    return irregular_file_reason(status.st_mode);
}

int open_regular_file(const std::string& path, std::string* reason, long long* size, bool may_wait_for_lease) {
    // What is at the path is looked at first: a device or a terminal is
    // never opened, since opening one alone may act (rewind a tape, hang
    // up a line). O_NOCTTY keeps a terminal put there meanwhile from
    // becoming ours; the descriptor's own kind is looked at again below.
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) {
        const int error = errno;
        return refuse(error, missing_file_reason(path, error), reason);
    }
    if (!S_ISREG(status.st_mode))
        return refuse(S_ISDIR(status.st_mode) ? EISDIR : EINVAL, irregular_file_reason(status.st_mode), reason);
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    // Only a regular file under a lease answers so; the lease is being
    // broken now. (Should a named pipe take its place meanwhile, the open
    // waits for a writer as long as it waits for the lease.)
    if (fd == -1 && errno == EWOULDBLOCK && may_wait_for_lease)
        fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd == -1) {
        const int error = errno;
        // A socket cannot be opened at all; say what it is rather than ENXIO.
        const std::string kind = error == ENXIO ? file_kind_reason(path) : std::string();
        return refuse(kind.empty() ? error : EINVAL, kind.empty() ? errors::file_access_reason(error) : kind,
                      reason);
    }
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        return refuse(error, errors::file_access_reason(error), reason);
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        return refuse(S_ISDIR(status.st_mode) ? EISDIR : EINVAL, irregular_file_reason(status.st_mode), reason);
    }
    if (!make_blocking(fd)) {
        const int error = errno;
        return refuse(error, errors::file_access_reason(error), reason);
    }
    if (size)
        *size = static_cast<long long>(status.st_size);
    return fd;
}

int open_known_local_file(const std::string& path, long long* size, file_system_id* file_system) {
    const int located = current_no_wait_calls().locate_known(path.c_str());
    if (located < 0) {
        if (file_system)
            *file_system = file_system_of_path(path);
        return -EAGAIN;
    }
    if (file_system)
        *file_system = file_system_of_descriptor(located);
    // What it is, from what the system has at hand. A file system on a
    // block device of this machine answers without the network; shares,
    // whatever else has no device number of its own and network block
    // devices are left to open_regular_file on a thread.
    struct statx facts;
    int fd = -EAGAIN;
    if (::statx(located, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_TYPE | STATX_SIZE, &facts) == 0 &&
        S_ISREG(facts.stx_mode) && facts.stx_dev_major != 0 &&
        !network_block_device(facts.stx_dev_major, facts.stx_dev_minor)) {
        // Opened through the located file itself, so that nothing put at
        // the path meanwhile is opened instead: a regular file, which
        // never holds an open but for a lease another program holds on
        // it; non-blocking, that open is refused at once instead.
        char located_path[32];
        std::snprintf(located_path, sizeof located_path, "/proc/self/fd/%d", located);
        fd = ::open(located_path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0 || !make_blocking(fd))
            fd = -EAGAIN;
        else if (size)
            *size = static_cast<long long>(facts.stx_size);
    }
    ::close(located);
    return fd;
}

} // namespace kestrel
