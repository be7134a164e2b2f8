// Preloaded into a program under test (LD_PRELOAD): once the file named by
// STUCK_READ_WHEN exists, a read of the file at STUCK_READ_PATH (as
// /proc/self/fd shows its path) never returns, as on a network share that
// hangs, and says so on standard error each time; a read that would not
// wait (preadv2 with RWF_NOWAIT) finds no bytes at hand (EAGAIN), as a
// share's would. With STUCK_READ_SECONDS set, every such read, one that
// would not wait too, is the system's after that many seconds instead, on
// the thread that asked: a file slow to answer, whoever reads it. Every
// other read is the system's.

#include <dlfcn.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

typedef ssize_t (*read_function)(int, void*, size_t);

bool stuck(int fd)
{
    const char* path = std::getenv("STUCK_READ_PATH");
    const char* when = std::getenv("STUCK_READ_WHEN");
    if (!path || !when || ::access(when, F_OK) != 0)
        return false;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t length = ::readlink(link, target, sizeof target - 1);
    if (length <= 0)
        return false;
    target[length] = '\0';
    return std::strcmp(target, path) == 0;
}

// The seconds a read of the file waits before it is the system's; 0 when
// it hangs for good.
unsigned slow_seconds()
{
    const char* seconds = std::getenv("STUCK_READ_SECONDS");
    return seconds ? static_cast<unsigned>(std::strtoul(seconds, nullptr, 10)) : 0;
}

[[noreturn]] void hang()
{
    static const char text[] = "read of STUCK_READ_PATH hangs\n";
    if (::write(2, text, sizeof text - 1) < 0) {
        // Nothing to tell it with; hang all the same.
    }
    for (;;)
        ::sleep(1000);
}

// Hangs, or returns once the file has been slow.
void wait_for_answer()
{
    const unsigned seconds = slow_seconds();
    if (seconds == 0)
        hang();
    ::sleep(seconds);
}

typedef ssize_t (*preadv2_function)(int, const iovec*, int, off_t, int);

read_function next_read()
{
    static const read_function system = reinterpret_cast<read_function>(::dlsym(RTLD_NEXT, "read"));
    return system;
}

} // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t size)
{
    if (stuck(fd))
        wait_for_answer();
    return next_read()(fd, buffer, size);
}

extern "C" ssize_t __read_chk(int fd, void* buffer, size_t size, size_t)
{
    return read(fd, buffer, size);
}

extern "C" ssize_t preadv2(int fd, const iovec* pieces, int count, off_t offset, int flags)
{
    static const preadv2_function system = reinterpret_cast<preadv2_function>(::dlsym(RTLD_NEXT, "preadv2"));
    if (stuck(fd)) {
        if (!(flags & RWF_NOWAIT) || slow_seconds() != 0) {
            wait_for_answer();
        } else {
            errno = EAGAIN;
            return -1;
        }
    }
    return system(fd, pieces, count, offset, flags);
}

extern "C" ssize_t preadv64v2(int fd, const iovec* pieces, int count, off_t offset, int flags)
{
    return preadv2(fd, pieces, count, offset, flags);
}
