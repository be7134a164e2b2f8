#include "files/DTRegularFile.h"

#include "files/DTFailureReason.h"
#include "files/DTPathWalk.h"

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

int refuse(int error, const std::string& why, refused_file* reason) {
    if (reason)
        *reason = refused_file{file_refusal::none, why};
    return -error;
}

int refuse(file_refusal refusal, refused_file* reason) {
    if (reason)
        *reason = refused_file{refusal, log_words(refusal)};
    return -errno_of(refusal);
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

int open_regular_file(const std::string& path, refused_file* reason, long long* size, bool may_wait_for_lease,
                      call_steps* steps) {
    steps_in_place here;
    call_steps& asked = steps ? *steps : here;
    // What is at the path is located first, and only a regular file is
    // opened, through the very file located: a device or a terminal is
    // never opened (opening one alone may act: rewind a tape, hang up a
    // line), and nothing put at the path meanwhile (a named pipe, whose
    // opening would wait for a writer) is opened instead.
    const located_path located = locate_path(path, true, asked);
    if (located.fd.get() < 0)
        return located.refusal != file_refusal::none ? refuse(located.refusal, reason)
                                                     : refuse(located.error, located_path_reason(located), reason);
    struct statx facts;
    if (::statx(located.fd.get(), "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_TYPE, &facts) != 0) {
        const int error = errno;
        return refuse(error, errors::file_access_reason(error), reason);
    }
    if (!S_ISREG(facts.stx_mode))
        return refuse(S_ISDIR(facts.stx_mode) ? EISDIR : EINVAL, irregular_file_reason(facts.stx_mode), reason);
    const file_system_id file_system = file_system_of_descriptor(located.fd.get());
    if (!asked.asking(file_system))
        return refuse(file_refusal::earlier_calls_wait, reason);
    // Non-blocking, an open under another program's lease is refused at
    // once; the lease is being broken then, which a caller that may wait
    // waits for (up to the system's lease-break time).
    int fd = reopen_located(located.fd.get(), O_NONBLOCK);
    if (fd == -1 && errno == EWOULDBLOCK && may_wait_for_lease) {
        // Another program, not the disk, is waited for: a wait given up
        // counts apart, so that the disk's own files read on meanwhile.
        if (!asked.asking(lease_waits_on(file_system), file_refusal::held_by_lease))
            return refuse(file_refusal::earlier_calls_wait, reason);
        fd = reopen_located(located.fd.get(), 0);
        asked.asking(file_system);
    }
    if (fd == -1) {
        const int error = errno;
        if (error == EWOULDBLOCK)
            return refuse(file_refusal::held_by_lease, reason);
        return refuse(error, errors::file_access_reason(error), reason);
    }
    struct stat status;
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        return refuse(error, errors::file_access_reason(error), reason);
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
    const int found = current_no_wait_calls().locate_known(path.c_str());
    if (found < 0)
        return -EAGAIN;
    const owned_descriptor located(found);
    if (file_system)
        *file_system = file_system_of_descriptor(located.get());
    // What it is, from what the system has at hand: shares and network
    // block devices are left to open_regular_file on a thread.
    struct statx facts;
    if (!on_local_disk(located.get()) ||
        ::statx(located.get(), "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_TYPE | STATX_SIZE, &facts) != 0 ||
        !S_ISREG(facts.stx_mode))
        return -EAGAIN;
    // Opened through the located file itself, so that nothing put at the
    // path meanwhile is opened instead: a regular file, which never holds
    // an open but for a lease another program holds on it; non-blocking,
    // that open is refused at once instead.
    const int fd = reopen_located(located.get(), O_NONBLOCK);
    if (fd < 0 || !make_blocking(fd))
        return -EAGAIN;
    if (size)
        *size = static_cast<long long>(facts.stx_size);
    return fd;
}

} // namespace kestrel
