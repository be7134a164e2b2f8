// Stands in front of the C library's file calls (WindowThreadFileCalls.h).
// C, so that each stand-in matches the library's own declaration; the
// fortified names (__open_2, __read_chk, ...) count too, since the
// system's libraries are built with them. The next library's call (the
// sanitizer's, then the C library's) is found with dlsym(RTLD_NEXT).

#define _GNU_SOURCE
#undef _FORTIFY_SOURCE

#include "WindowThreadFileCalls.h"

#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <execinfo.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/uio.h>
#include <unistd.h>

int __open_2(const char*, int);
int __open64_2(const char*, int);
int __openat_2(int, const char*, int);
int __openat64_2(int, const char*, int);
ssize_t __read_chk(int, void*, size_t, size_t);
ssize_t __pread_chk(int, void*, size_t, off_t, size_t);
ssize_t __pread64_chk(int, void*, size_t, off64_t, size_t);
ssize_t __readlink_chk(const char*, char*, size_t, size_t);
char* __realpath_chk(const char*, char*, size_t);
// The sanitizer's, when one is linked: its stacks name the lines.
void __sanitizer_print_stack_trace(void) __attribute__((weak));

enum { descriptors = 65536, folder_count = 2 };

static atomic_int watching;
static pthread_t watcher;
static char folders[folder_count][PATH_MAX];
static size_t folder_lengths[folder_count];
// Descriptors opened under the folders while a watch runs, by any thread.
static atomic_uchar on_folder[descriptors];
static pthread_mutex_t first_lock = PTHREAD_MUTEX_INITIALIZER;
static char first[PATH_MAX + 64];

// Found once by whichever thread calls first; atomic, since any may.
#define NEXT(name)                                                                                                     \
    static _Atomic(__typeof__(&name)) found_##name;                                                                    \
    __typeof__(&name) next_##name = atomic_load(&found_##name);                                                        \
    if (!next_##name) {                                                                                                \
        next_##name = (__typeof__(&name))dlsym(RTLD_NEXT, #name);                                                     \
        atomic_store(&found_##name, next_##name);                                                                      \
    }                                                                                                                  \
    (void)0

static int under_folders(const char* path)
{
    if (!atomic_load(&watching) || !path)
        return 0;
    for (int i = 0; i < folder_count; ++i) {
        const size_t length = folder_lengths[i];
        if (length && strncmp(path, folders[i], length) == 0 && (path[length] == '/' || path[length] == '\0'))
            return 1;
    }
    return 0;
}

static int descriptor_on_folder(int fd)
{
    return fd >= 0 && fd < descriptors && atomic_load(&on_folder[fd]);
}

// A path as an *at call reads it: relative ones from `dirfd`.
static int at_under_folders(int dirfd, const char* path)
{
    if (path && path[0] != '/' && dirfd != AT_FDCWD)
        return atomic_load(&watching) && descriptor_on_folder(dirfd);
    return under_folders(path);
}

static int on_watcher(void) { return atomic_load(&watching) && pthread_equal(pthread_self(), watcher); }

static void keep(const char* call, const char* path)
{
    pthread_mutex_lock(&first_lock);
    if (!first[0])
        snprintf(first, sizeof first, "%s(\"%s\")", call, path);
    pthread_mutex_unlock(&first_lock);
    char line[PATH_MAX + 128];
    const int length = snprintf(line, sizeof line, "file call on the window's thread: %s(\"%s\")\n", call, path);
    if (write(STDERR_FILENO, line, length > 0 && (size_t)length < sizeof line ? (size_t)length : 0) < 0)
        return;
    if (__sanitizer_print_stack_trace) {
        __sanitizer_print_stack_trace();
    } else {
        void* frames[64];
        backtrace_symbols_fd(frames, backtrace(frames, 64), STDERR_FILENO);
    }
}

// Whether a call on `path` is forbidden here; kept when it is.
static int refuse_path(const char* call, int forbidden, const char* path)
{
    if (!forbidden || !on_watcher())
        return 0;
    keep(call, path);
    errno = EIO;
    return 1;
}

static int refuse_descriptor(const char* call, int fd)
{
    if (!descriptor_on_folder(fd) || !on_watcher())
        return 0;
    char link[64], path[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    NEXT(readlink);
    const ssize_t length = next_readlink(link, path, sizeof path - 1);
    path[length > 0 ? length : 0] = '\0';
    keep(call, path);
    errno = EIO;
    return 1;
}

static int opened(int fd, int forbidden)
{
    if (fd >= 0 && fd < descriptors && forbidden)
        atomic_store(&on_folder[fd], 1);
    return fd;
}

void window_file_calls_watch(const char* folder)
{
    window_file_calls_end();
    pthread_mutex_lock(&first_lock);
    first[0] = '\0';
    pthread_mutex_unlock(&first_lock);
    snprintf(folders[0], sizeof folders[0], "%s", folder);
    folder_lengths[0] = strlen(folders[0]);
    NEXT(realpath);
    folder_lengths[1] = next_realpath(folder, folders[1]) ? strlen(folders[1]) : 0;
    watcher = pthread_self();
    atomic_store(&watching, 1);
}

void window_file_calls_end(void)
{
    atomic_store(&watching, 0);
    for (int fd = 0; fd < descriptors; ++fd)
        atomic_store(&on_folder[fd], 0);
}

const char* window_file_calls_forbidden(void) { return first; }

// Opening: the descriptor is marked when the path lies under the folders.
#define OPEN_CALL(name, params, dirfd, path, args)                                                                     \
    int name params                                                                                                    \
    {                                                                                                                  \
        NEXT(name);                                                                                                    \
        const int watched = at_under_folders(dirfd, path);                                                             \
        if (refuse_path(#name, watched, path))                                                                         \
            return -1;                                                                                                 \
        return opened(next_##name args, watched);                                                                      \
    }
#define MODE(flags) mode_t mode = 0;                                                                                   \
    if ((flags) & (O_CREAT | O_TMPFILE)) {                                                                             \
        va_list more;                                                                                                  \
        va_start(more, flags);                                                                                         \
        mode = va_arg(more, mode_t);                                                                                   \
        va_end(more);                                                                                                  \
    }

#define OPEN_VARIADIC(name)                                                                                            \
    int name(const char* path, int flags, ...)                                                                         \
    {                                                                                                                  \
        MODE(flags)                                                                                                    \
        NEXT(name);                                                                                                    \
        const int watched = under_folders(path);                                                                       \
        if (refuse_path(#name, watched, path))                                                                         \
            return -1;                                                                                                 \
        return opened(next_##name(path, flags, mode), watched);                                                        \
    }
#define OPENAT_VARIADIC(name)                                                                                          \
    int name(int dirfd, const char* path, int flags, ...)                                                              \
    {                                                                                                                  \
        MODE(flags)                                                                                                    \
        NEXT(name);                                                                                                    \
        const int watched = at_under_folders(dirfd, path);                                                             \
        if (refuse_path(#name, watched, path))                                                                         \
            return -1;                                                                                                 \
        return opened(next_##name(dirfd, path, flags, mode), watched);                                                 \
    }

OPEN_VARIADIC(open)
OPEN_VARIADIC(open64)
OPENAT_VARIADIC(openat)
OPENAT_VARIADIC(openat64)
OPEN_CALL(__open_2, (const char* path, int flags), AT_FDCWD, path, (path, flags))
OPEN_CALL(__open64_2, (const char* path, int flags), AT_FDCWD, path, (path, flags))
OPEN_CALL(__openat_2, (int dirfd, const char* path, int flags), dirfd, path, (dirfd, path, flags))
OPEN_CALL(__openat64_2, (int dirfd, const char* path, int flags), dirfd, path, (dirfd, path, flags))
OPEN_CALL(creat, (const char* path, mode_t mode), AT_FDCWD, path, (path, mode))

// Looking at, naming and removing by path: `failed` is what a refused one
// returns.
#define PATH_CALL(type, failed, name, params, dirfd, path, args)                                                       \
    type name params                                                                                                   \
    {                                                                                                                  \
        NEXT(name);                                                                                                    \
        if (refuse_path(#name, at_under_folders(dirfd, path), path))                                                   \
            return failed;                                                                                             \
        return next_##name args;                                                                                       \
    }
#define TWO_PATH_CALL(name, params, from_dir, from, to_dir, to, args)                                                  \
    int name params                                                                                                    \
    {                                                                                                                  \
        NEXT(name);                                                                                                    \
        if (refuse_path(#name, at_under_folders(from_dir, from), from) ||                                             \
            refuse_path(#name, at_under_folders(to_dir, to), to))                                                      \
            return -1;                                                                                                 \
        return next_##name args;                                                                                       \
    }

PATH_CALL(FILE*, NULL, fopen, (const char* path, const char* mode), AT_FDCWD, path, (path, mode))
PATH_CALL(FILE*, NULL, fopen64, (const char* path, const char* mode), AT_FDCWD, path, (path, mode))
PATH_CALL(DIR*, NULL, opendir, (const char* path), AT_FDCWD, path, (path))
PATH_CALL(int, -1, stat, (const char* path, struct stat* out), AT_FDCWD, path, (path, out))
PATH_CALL(int, -1, stat64, (const char* path, struct stat64* out), AT_FDCWD, path, (path, out))
PATH_CALL(int, -1, lstat, (const char* path, struct stat* out), AT_FDCWD, path, (path, out))
PATH_CALL(int, -1, lstat64, (const char* path, struct stat64* out), AT_FDCWD, path, (path, out))
PATH_CALL(int, -1, fstatat, (int dirfd, const char* path, struct stat* out, int flags), dirfd, path,
          (dirfd, path, out, flags))
PATH_CALL(int, -1, fstatat64, (int dirfd, const char* path, struct stat64* out, int flags), dirfd, path,
          (dirfd, path, out, flags))
PATH_CALL(int, -1, statx, (int dirfd, const char* path, int flags, unsigned int mask, struct statx* out), dirfd,
          path, (dirfd, path, flags, mask, out))
PATH_CALL(int, -1, access, (const char* path, int mode), AT_FDCWD, path, (path, mode))
PATH_CALL(int, -1, euidaccess, (const char* path, int mode), AT_FDCWD, path, (path, mode))
PATH_CALL(int, -1, faccessat, (int dirfd, const char* path, int mode, int flags), dirfd, path,
          (dirfd, path, mode, flags))
PATH_CALL(ssize_t, -1, readlink, (const char* path, char* out, size_t size), AT_FDCWD, path, (path, out, size))
PATH_CALL(ssize_t, -1, __readlink_chk, (const char* path, char* out, size_t size, size_t room), AT_FDCWD, path,
          (path, out, size, room))
PATH_CALL(ssize_t, -1, readlinkat, (int dirfd, const char* path, char* out, size_t size), dirfd, path,
          (dirfd, path, out, size))
PATH_CALL(char*, NULL, realpath, (const char* path, char* out), AT_FDCWD, path, (path, out))
PATH_CALL(char*, NULL, __realpath_chk, (const char* path, char* out, size_t room), AT_FDCWD, path, (path, out, room))
PATH_CALL(char*, NULL, canonicalize_file_name, (const char* path), AT_FDCWD, path, (path))
PATH_CALL(int, -1, statfs, (const char* path, struct statfs* out), AT_FDCWD, path, (path, out))
PATH_CALL(int, -1, statfs64, (const char* path, struct statfs64* out), AT_FDCWD, path, (path, out))
PATH_CALL(int, -1, statvfs, (const char* path, struct statvfs* out), AT_FDCWD, path, (path, out))
PATH_CALL(int, -1, statvfs64, (const char* path, struct statvfs64* out), AT_FDCWD, path, (path, out))
PATH_CALL(int, -1, mkdir, (const char* path, mode_t mode), AT_FDCWD, path, (path, mode))
PATH_CALL(int, -1, mkdirat, (int dirfd, const char* path, mode_t mode), dirfd, path, (dirfd, path, mode))
PATH_CALL(int, -1, rmdir, (const char* path), AT_FDCWD, path, (path))
PATH_CALL(int, -1, unlink, (const char* path), AT_FDCWD, path, (path))
PATH_CALL(int, -1, unlinkat, (int dirfd, const char* path, int flags), dirfd, path, (dirfd, path, flags))
PATH_CALL(int, -1, truncate, (const char* path, off_t size), AT_FDCWD, path, (path, size))
TWO_PATH_CALL(rename, (const char* from, const char* to), AT_FDCWD, from, AT_FDCWD, to, (from, to))
TWO_PATH_CALL(renameat, (int from_dir, const char* from, int to_dir, const char* to), from_dir, from, to_dir, to,
              (from_dir, from, to_dir, to))
TWO_PATH_CALL(renameat2, (int from_dir, const char* from, int to_dir, const char* to, unsigned int flags), from_dir,
              from, to_dir, to, (from_dir, from, to_dir, to, flags))

// Reading, writing and looking at an open file or folder.
#define DESCRIPTOR_CALL(type, name, params, fd, args)                                                                  \
    type name params                                                                                                   \
    {                                                                                                                  \
        NEXT(name);                                                                                                    \
        if (refuse_descriptor(#name, fd))                                                                              \
            return -1;                                                                                                 \
        return next_##name args;                                                                                       \
    }

DESCRIPTOR_CALL(ssize_t, read, (int fd, void* out, size_t size), fd, (fd, out, size))
DESCRIPTOR_CALL(ssize_t, __read_chk, (int fd, void* out, size_t size, size_t room), fd, (fd, out, size, room))
DESCRIPTOR_CALL(ssize_t, pread, (int fd, void* out, size_t size, off_t at), fd, (fd, out, size, at))
DESCRIPTOR_CALL(ssize_t, pread64, (int fd, void* out, size_t size, off64_t at), fd, (fd, out, size, at))
DESCRIPTOR_CALL(ssize_t, __pread_chk, (int fd, void* out, size_t size, off_t at, size_t room), fd,
                (fd, out, size, at, room))
DESCRIPTOR_CALL(ssize_t, __pread64_chk, (int fd, void* out, size_t size, off64_t at, size_t room), fd,
                (fd, out, size, at, room))
DESCRIPTOR_CALL(ssize_t, readv, (int fd, const struct iovec* pieces, int count), fd, (fd, pieces, count))
DESCRIPTOR_CALL(ssize_t, preadv, (int fd, const struct iovec* pieces, int count, off_t at), fd,
                (fd, pieces, count, at))
DESCRIPTOR_CALL(ssize_t, preadv64, (int fd, const struct iovec* pieces, int count, off64_t at), fd,
                (fd, pieces, count, at))
DESCRIPTOR_CALL(ssize_t, preadv2, (int fd, const struct iovec* pieces, int count, off_t at, int flags), fd,
                (fd, pieces, count, at, flags))
DESCRIPTOR_CALL(ssize_t, preadv64v2, (int fd, const struct iovec* pieces, int count, off64_t at, int flags), fd,
                (fd, pieces, count, at, flags))
DESCRIPTOR_CALL(ssize_t, write, (int fd, const void* bytes, size_t size), fd, (fd, bytes, size))
DESCRIPTOR_CALL(ssize_t, pwrite, (int fd, const void* bytes, size_t size, off_t at), fd, (fd, bytes, size, at))
DESCRIPTOR_CALL(ssize_t, pwrite64, (int fd, const void* bytes, size_t size, off64_t at), fd, (fd, bytes, size, at))
DESCRIPTOR_CALL(ssize_t, writev, (int fd, const struct iovec* pieces, int count), fd, (fd, pieces, count))
DESCRIPTOR_CALL(int, fstat, (int fd, struct stat* out), fd, (fd, out))
DESCRIPTOR_CALL(int, fstat64, (int fd, struct stat64* out), fd, (fd, out))
DESCRIPTOR_CALL(int, fstatfs, (int fd, struct statfs* out), fd, (fd, out))
DESCRIPTOR_CALL(int, fstatfs64, (int fd, struct statfs64* out), fd, (fd, out))
DESCRIPTOR_CALL(int, fsync, (int fd), fd, (fd))
DESCRIPTOR_CALL(int, fdatasync, (int fd), fd, (fd))
DESCRIPTOR_CALL(int, ftruncate, (int fd, off_t size), fd, (fd, size))
DESCRIPTOR_CALL(int, ftruncate64, (int fd, off64_t size), fd, (fd, size))
DESCRIPTOR_CALL(ssize_t, getdents64, (int fd, void* out, size_t size), fd, (fd, out, size))

// A close on the window's thread is kept, and closes all the same: the
// descriptor must not stay open.
int close(int fd)
{
    NEXT(close);
    if (descriptor_on_folder(fd)) {
        if (refuse_descriptor("close", fd))
            errno = 0;
        atomic_store(&on_folder[fd], 0);
    }
    return next_close(fd);
}
