#include "DTRegularFile.h"

#include "DTFailureReason.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kestrel {

namespace {

int refuse(int error, const std::string& why, std::string* reason) {
    if (reason)
        *reason = why;
    return -error;
}

} // namespace

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

std::string file_kind_reason(const std::string& path) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        return errors::file_access_reason(errno);
    return irregular_file_reason(status.st_mode);
}

int open_regular_file(const std::string& path, std::string* reason, long long* size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd == -1) {
        const int error = errno;
        // A socket cannot be opened at all; say what it is rather than ENXIO.
        const std::string kind = error == ENXIO ? file_kind_reason(path) : std::string();
        return refuse(kind.empty() ? error : EINVAL, kind.empty() ? errors::file_access_reason(error) : kind,
                      reason);
    }
    struct stat status;
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        return refuse(error, errors::file_access_reason(error), reason);
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        return refuse(S_ISDIR(status.st_mode) ? EISDIR : EINVAL, irregular_file_reason(status.st_mode), reason);
    }
    const int mode = ::fcntl(fd, F_GETFL);
    if (mode == -1 || ::fcntl(fd, F_SETFL, mode & ~O_NONBLOCK) == -1) {
        const int error = errno;
        ::close(fd);
        return refuse(error, errors::file_access_reason(error), reason);
    }
    if (size)
        *size = static_cast<long long>(status.st_size);
    return fd;
}

} // namespace kestrel
