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
#include <sys/inotify.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
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

enum { descriptors = 65536, mount_room = 512, link_limit = 40 };

static atomic_int watching;
static pthread_t watcher;
// The watched folder as given and as the system resolved it, both without
// "//", "." and "..": a fallback where its device could not be learnt.
static char folders[2][PATH_MAX];
// The mounts as the watch began (from /proc/self/mountinfo): where each
// is, and whether it shows the watched file system (its device).
static char mount_points[mount_room][PATH_MAX];
static unsigned char mount_watched[mount_room];
static int mount_count;
static int device_known;
// Descriptors opened on the watched file system while a watch runs, by any
// thread (files, folders, streams).
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

// Whether `path` (absolute, resolved, "" for the root) is `place` or lies
// under it.
static int within(const char* path, size_t length, const char* place)
{
    const size_t place_length = strlen(place);
    return place[0] && length >= place_length && strncmp(path, place, place_length) == 0 &&
           (path[place_length] == '/' || path[place_length] == '\0');
}

// Whether a resolved path lies on the watched file system: the device of
// the mount it lies in, the nearest one above it (the latest of those at
// one place), is the watched folder's. Looked up in what was read as the
// watch began: nothing here touches a file system.
static int resolved_on_watched(const char* path, size_t length)
{
    if (within(path, length, folders[0]) || within(path, length, folders[1]))
        return 1;
    if (!device_known)
        return 0;
    int nearest = -1;
    size_t nearest_length = 0;
    for (int i = 0; i < mount_count; ++i) {
        const size_t point_length = strlen(mount_points[i]);
        const int root = point_length == 0;
        if ((root || within(path, length, mount_points[i])) && point_length >= nearest_length) {
            nearest = i;
            nearest_length = point_length;
        }
    }
    return nearest >= 0 && mount_watched[nearest];
}

// Appends the components of `rest` to the resolved `path` (absolute, no
// "//", "." nor ".." in it, `*length` long, "" for the root) as the system
// walks them: "" and "." stay, ".." goes up, a link is read and walked in
// its place. True as soon as the walk reaches the watched file system:
// the system would ask it there, whatever comes after. A link is read only
// off that file system, so that the walk never touches it either; every
// link is followed, the last one too. `rest` is changed.
static int walk_reaches_watched(char* path, size_t* length, char* rest, size_t rest_room)
{
    NEXT(readlink);
    size_t at = 0;
    int links = 0;
    for (;;) {
        while (rest[at] == '/')
            ++at;
        if (!rest[at])
            return 0;
        size_t end = at;
        while (rest[end] && rest[end] != '/')
            ++end;
        const size_t count = end - at;
        if (count == 1 && rest[at] == '.') {
            at = end;
            continue;
        }
        if (count == 2 && rest[at] == '.' && rest[at + 1] == '.') {
            while (*length && path[*length - 1] != '/')
                --*length;
            if (*length)
                --*length;
            path[*length] = '\0';
            at = end;
            continue;
        }
        if (*length + 1 + count >= PATH_MAX)
            return 0;
        const size_t parent = *length;
        path[(*length)++] = '/';
        memcpy(path + *length, rest + at, count);
        *length += count;
        path[*length] = '\0';
        if (resolved_on_watched(path, *length))
            return 1;
        char target[PATH_MAX];
        const ssize_t target_length = next_readlink(path, target, sizeof target - 1);
        if (target_length <= 0) {
            at = end;
            continue;
        }
        if (++links > link_limit)
            return 0; // the system gives up too (ELOOP)
        target[target_length] = '\0';
        char joined[2 * PATH_MAX];
        const int joined_length = snprintf(joined, sizeof joined, "%s%s", target, rest + end);
        if (joined_length < 0 || (size_t)joined_length >= rest_room)
            return 0;
        memcpy(rest, joined, (size_t)joined_length + 1);
        at = 0;
        *length = target[0] == '/' ? 0 : parent;
        path[*length] = '\0';
    }
}

static int descriptor_on_folder(int fd)
{
    return fd >= 0 && fd < descriptors && atomic_load(&on_folder[fd]);
}

// Whether a path as an *at call reads it (relative ones from `dirfd`, or
// the working folder) lies on the watched file system or passes it on
// the way.
static int at_under_folders(int dirfd, const char* path)
{
    if (!atomic_load(&watching) || !path)
        return 0;
    char resolved[PATH_MAX];
    resolved[0] = '\0';
    if (path[0] != '/') {
        if (dirfd != AT_FDCWD) {
            if (descriptor_on_folder(dirfd))
                return 1;
            // The kernel's name of an open folder, which asks no file system.
            char link[64];
            snprintf(link, sizeof link, "/proc/self/fd/%d", dirfd);
            NEXT(readlink);
            const ssize_t count = next_readlink(link, resolved, sizeof resolved - 1);
            if (count <= 0 || resolved[0] != '/')
                return 0;
            resolved[count] = '\0';
        } else if (!getcwd(resolved, sizeof resolved)) {
            return 0;
        }
    }
    size_t length = strlen(resolved);
    if (length == 1)
        length = 0; // the root
    resolved[length] = '\0';
    if (length && resolved_on_watched(resolved, length))
        return 1;
    char rest[2 * PATH_MAX];
    if ((size_t)snprintf(rest, sizeof rest, "%s", path) >= sizeof rest)
        return 0;
    return walk_reaches_watched(resolved, &length, rest, sizeof rest);
}

static int under_folders(const char* path) { return at_under_folders(AT_FDCWD, path); }

static int on_watcher(void) { return atomic_load(&watching) && pthread_equal(pthread_self(), watcher); }

static void keep(const char* call, const char* path)
{
    pthread_mutex_lock(&first_lock);
    if (!first[0])
        snprintf(first, sizeof first, "%s(\"%s\")", call, path);
    pthread_mutex_unlock(&first_lock);
    char line[PATH_MAX + 128];
    const int length = snprintf(line, sizeof line, "file call on the window's thread: %s(\"%s\")\n", call, path);
    NEXT(write);
    if (next_write(STDERR_FILENO, line, length > 0 && (size_t)length < sizeof line ? (size_t)length : 0) < 0)
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

// A descriptor's mark follows its latest opening: a number reused for a
// file elsewhere is not refused for an earlier one.
static long opened(long fd, int forbidden)
{
    if (fd >= 0 && fd < descriptors && atomic_load(&watching))
        atomic_store(&on_folder[fd], (unsigned char)(forbidden != 0));
    return fd;
}

// "/a//b/./c/../d" as "/a/b/d", made absolute from the working folder;
// links are left as they are.
static void lexically(const char* path, char* out)
{
    size_t length = 0;
    out[0] = '\0';
    if (path[0] != '/' && getcwd(out, PATH_MAX))
        length = strlen(out) == 1 ? 0 : strlen(out);
    for (const char* at = path; *at;) {
        while (*at == '/')
            ++at;
        const char* end = at;
        while (*end && *end != '/')
            ++end;
        const size_t count = (size_t)(end - at);
        if (count == 2 && at[0] == '.' && at[1] == '.') {
            while (length && out[length - 1] != '/')
                --length;
            if (length)
                --length;
        } else if (count && !(count == 1 && at[0] == '.') && length + 1 + count < PATH_MAX) {
            out[length++] = '/';
            memcpy(out + length, at, count);
            length += count;
        }
        out[length] = '\0';
        at = end;
    }
}

// "\040" and the like in a mount point as mountinfo writes it.
static void unescape(char* text)
{
    char* to = text;
    for (const char* from = text; *from; ++to) {
        if (from[0] == '\\' && from[1] >= '0' && from[1] <= '7' && from[2] >= '0' && from[2] <= '7' &&
            from[3] >= '0' && from[3] <= '7') {
            *to = (char)((from[1] - '0') * 64 + (from[2] - '0') * 8 + (from[3] - '0'));
            from += 4;
        } else {
            *to = *from++;
        }
    }
    *to = '\0';
}

static void read_mounts(dev_t device)
{
    mount_count = 0;
    FILE* table = fopen("/proc/self/mountinfo", "re");
    if (!table)
        return;
    char line[3 * PATH_MAX];
    while (mount_count < mount_room && fgets(line, sizeof line, table)) {
        unsigned int major_number, minor_number;
        char point[PATH_MAX];
        if (sscanf(line, "%*d %*d %u:%u %*s %4095s", &major_number, &minor_number, point) != 3)
            continue;
        unescape(point);
        lexically(point, mount_points[mount_count]);
        mount_watched[mount_count] = major_number == major(device) && minor_number == minor(device);
        ++mount_count;
    }
    fclose(table);
}

void window_file_calls_watch(const char* folder)
{
    window_file_calls_end();
    pthread_mutex_lock(&first_lock);
    first[0] = '\0';
    pthread_mutex_unlock(&first_lock);
    lexically(folder, folders[0]);
    NEXT(realpath);
    char real[PATH_MAX];
    if (next_realpath(folder, real))
        lexically(real, folders[1]);
    else
        folders[1][0] = '\0';
    NEXT(stat);
    struct stat status;
    device_known = next_stat(folder, &status) == 0;
    if (device_known)
        read_mounts(status.st_dev);
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
        return (int)opened(next_##name args, watched);                                                                    \
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
        return (int)opened(next_##name(path, flags, mode), watched);                                                  \
    }
#define OPENAT_VARIADIC(name)                                                                                          \
    int name(int dirfd, const char* path, int flags, ...)                                                              \
    {                                                                                                                  \
        MODE(flags)                                                                                                    \
        NEXT(name);                                                                                                    \
        const int watched = at_under_folders(dirfd, path);                                                             \
        if (refuse_path(#name, watched, path))                                                                         \
            return -1;                                                                                                 \
        return (int)opened(next_##name(dirfd, path, flags, mode), watched);                                                \
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

PATH_CALL(int, -1, stat, (const char* path, struct stat* out), AT_FDCWD, path, (path, out))
PATH_CALL(int, -1, stat64, (const char* path, struct stat64* out), AT_FDCWD, path, (path, out))
PATH_CALL(int, -1, lstat, (const char* path, struct stat* out), AT_FDCWD, path, (path, out))
PATH_CALL(int, -1, lstat64, (const char* path, struct stat64* out), AT_FDCWD, path, (path, out))
PATH_CALL(int, -1, fstatat, (int dirfd, const char* path, struct stat* out, int flags), dirfd, path,
          (dirfd, path, out, flags))
PATH_CALL(int, -1, fstatat64, (int dirfd, const char* path, struct stat64* out, int flags), dirfd, path,
          (dirfd, path, out, flags))
// Without a sync the file system answers from what it keeps: a share is
// not asked.
int statx(int dirfd, const char* path, int flags, unsigned int mask, struct statx* out)
{
    NEXT(statx);
    if (!(flags & AT_STATX_DONT_SYNC) && refuse_path("statx", at_under_folders(dirfd, path), path))
        return -1;
    return next_statx(dirfd, path, flags, mask, out);
}
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

// Folders and streams: their descriptor is marked as a file's is, and a
// call on one is refused as a call on its descriptor.
#define OPEN_HANDLE_CALL(type, name, params, path, args, descriptor)                                                   \
    type name params                                                                                                   \
    {                                                                                                                  \
        NEXT(name);                                                                                                    \
        const int watched = under_folders(path);                                                                       \
        if (refuse_path(#name, watched, path))                                                                         \
            return NULL;                                                                                               \
        type handle = next_##name args;                                                                                \
        if (handle)                                                                                                    \
            opened(descriptor(handle), watched);                                                                       \
        return handle;                                                                                                 \
    }
#define HANDLE_CALL(type, failed, name, params, fd, args)                                                              \
    type name params                                                                                                   \
    {                                                                                                                  \
        NEXT(name);                                                                                                    \
        if (refuse_descriptor(#name, fd))                                                                              \
            return failed;                                                                                             \
        return next_##name args;                                                                                       \
    }

static int folder_descriptor(DIR* folder) { return folder ? dirfd(folder) : -1; }
static int stream_descriptor(FILE* stream) { return stream ? fileno_unlocked(stream) : -1; }

OPEN_HANDLE_CALL(DIR*, opendir, (const char* path), path, (path), folder_descriptor)
OPEN_HANDLE_CALL(FILE*, fopen, (const char* path, const char* mode), path, (path, mode), stream_descriptor)
OPEN_HANDLE_CALL(FILE*, fopen64, (const char* path, const char* mode), path, (path, mode), stream_descriptor)
HANDLE_CALL(DIR*, NULL, fdopendir, (int fd), fd, (fd))
HANDLE_CALL(struct dirent*, NULL, readdir, (DIR * folder), folder_descriptor(folder), (folder))
HANDLE_CALL(struct dirent64*, NULL, readdir64, (DIR * folder), folder_descriptor(folder), (folder))

// The library's inline versions, where it has them, are not ours to stand in front of.
#undef fread_unlocked
#undef getc
#undef fgetc
size_t __fread_chk(void* out, size_t room, size_t size, size_t count, FILE* stream);
size_t __fread_unlocked_chk(void* out, size_t room, size_t size, size_t count, FILE* stream);
char* __fgets_chk(char* out, size_t room, int size, FILE* stream);
char* __fgets_unlocked_chk(char* out, size_t room, int size, FILE* stream);
ssize_t __getdelim(char** line, size_t* size, int delimiter, FILE* stream);

HANDLE_CALL(size_t, 0, fread, (void* out, size_t size, size_t count, FILE* stream), stream_descriptor(stream),
            (out, size, count, stream))
HANDLE_CALL(size_t, 0, fread_unlocked, (void* out, size_t size, size_t count, FILE* stream),
            stream_descriptor(stream), (out, size, count, stream))
HANDLE_CALL(size_t, 0, __fread_chk, (void* out, size_t room, size_t size, size_t count, FILE* stream),
            stream_descriptor(stream), (out, room, size, count, stream))
HANDLE_CALL(size_t, 0, __fread_unlocked_chk, (void* out, size_t room, size_t size, size_t count, FILE* stream),
            stream_descriptor(stream), (out, room, size, count, stream))
HANDLE_CALL(char*, NULL, fgets, (char* out, int size, FILE* stream), stream_descriptor(stream), (out, size, stream))
HANDLE_CALL(char*, NULL, fgets_unlocked, (char* out, int size, FILE* stream), stream_descriptor(stream),
            (out, size, stream))
HANDLE_CALL(char*, NULL, __fgets_chk, (char* out, size_t room, int size, FILE* stream), stream_descriptor(stream),
            (out, room, size, stream))
HANDLE_CALL(char*, NULL, __fgets_unlocked_chk, (char* out, size_t room, int size, FILE* stream),
            stream_descriptor(stream), (out, room, size, stream))
HANDLE_CALL(int, EOF, fgetc, (FILE * stream), stream_descriptor(stream), (stream))
HANDLE_CALL(int, EOF, getc, (FILE * stream), stream_descriptor(stream), (stream))
HANDLE_CALL(ssize_t, -1, getline, (char** line, size_t* size, FILE* stream), stream_descriptor(stream),
            (line, size, stream))
HANDLE_CALL(ssize_t, -1, getdelim, (char** line, size_t* size, int delimiter, FILE* stream),
            stream_descriptor(stream), (line, size, delimiter, stream))
HANDLE_CALL(ssize_t, -1, __getdelim, (char** line, size_t* size, int delimiter, FILE* stream),
            stream_descriptor(stream), (line, size, delimiter, stream))
HANDLE_CALL(size_t, 0, fwrite, (const void* bytes, size_t size, size_t count, FILE* stream),
            stream_descriptor(stream), (bytes, size, count, stream))

// A mapping reads the file as its pages are touched, where nothing stands
// in front: the mapping itself is refused. Not under the race checker,
// whose runtime maps memory through these names before it can run checked
// code.
#ifndef __SANITIZE_THREAD__
HANDLE_CALL(void*, MAP_FAILED, mmap, (void* at, size_t size, int protection, int flags, int fd, off_t offset),
            (flags & MAP_ANONYMOUS) ? -1 : fd, (at, size, protection, flags, fd, offset))
HANDLE_CALL(void*, MAP_FAILED, mmap64, (void* at, size_t size, int protection, int flags, int fd, off64_t offset),
            (flags & MAP_ANONYMOUS) ? -1 : fd, (at, size, protection, flags, fd, offset))
#endif
HANDLE_CALL(long, -1, fpathconf, (int fd, int name), fd, (fd, name))
PATH_CALL(long, -1, pathconf, (const char* path, int name), AT_FDCWD, path, (path, name))
PATH_CALL(int, -1, inotify_add_watch, (int fd, const char* path, uint32_t mask), AT_FDCWD, path, (fd, path, mask))

// A closed folder or stream is kept and closed as a closed descriptor is.
static void closing(const char* call, int fd)
{
    if (descriptor_on_folder(fd)) {
        if (refuse_descriptor(call, fd))
            errno = 0;
        atomic_store(&on_folder[fd], 0);
    }
}

int closedir(DIR* folder)
{
    NEXT(closedir);
    closing("closedir", folder_descriptor(folder));
    return next_closedir(folder);
}

int fclose(FILE* stream)
{
    NEXT(fclose);
    closing("fclose", stream_descriptor(stream));
    return next_fclose(stream);
}

// The file calls the kernel answers by number, for a caller that makes
// them through syscall() (openat2 has no other way in): which argument is
// a folder's descriptor, a path, an open descriptor, and whether the call
// opens one. A relative path with no folder is read from the working
// folder.
struct file_syscall {
    long number;
    const char* name;
    int folder, path, descriptor, opens;
};
static const struct file_syscall file_syscalls[] = {
    {SYS_open, "open", -1, 0, -1, 1},
    {SYS_openat, "openat", 0, 1, -1, 1},
#ifdef SYS_openat2
    {SYS_openat2, "openat2", 0, 1, -1, 1},
#endif
    {SYS_creat, "creat", -1, 0, -1, 1},
    {SYS_stat, "stat", -1, 0, -1, 0},
    {SYS_lstat, "lstat", -1, 0, -1, 0},
    {SYS_newfstatat, "newfstatat", 0, 1, -1, 0},
    {SYS_statx, "statx", 0, 1, -1, 0},
    {SYS_access, "access", -1, 0, -1, 0},
    {SYS_faccessat, "faccessat", 0, 1, -1, 0},
#ifdef SYS_faccessat2
    {SYS_faccessat2, "faccessat2", 0, 1, -1, 0},
#endif
    {SYS_readlink, "readlink", -1, 0, -1, 0},
    {SYS_readlinkat, "readlinkat", 0, 1, -1, 0},
    {SYS_statfs, "statfs", -1, 0, -1, 0},
    {SYS_mkdir, "mkdir", -1, 0, -1, 0},
    {SYS_mkdirat, "mkdirat", 0, 1, -1, 0},
    {SYS_unlink, "unlink", -1, 0, -1, 0},
    {SYS_unlinkat, "unlinkat", 0, 1, -1, 0},
    {SYS_rmdir, "rmdir", -1, 0, -1, 0},
    {SYS_inotify_add_watch, "inotify_add_watch", -1, 1, -1, 0},
    {SYS_read, "read", -1, -1, 0, 0},
    {SYS_pread64, "pread64", -1, -1, 0, 0},
    {SYS_readv, "readv", -1, -1, 0, 0},
    {SYS_write, "write", -1, -1, 0, 0},
    {SYS_pwrite64, "pwrite64", -1, -1, 0, 0},
    {SYS_fstat, "fstat", -1, -1, 0, 0},
    {SYS_fstatfs, "fstatfs", -1, -1, 0, 0},
    {SYS_getdents64, "getdents64", -1, -1, 0, 0},
    {SYS_fsync, "fsync", -1, -1, 0, 0},
    {SYS_fdatasync, "fdatasync", -1, -1, 0, 0},
    {SYS_ftruncate, "ftruncate", -1, -1, 0, 0},
    {SYS_mmap, "mmap", -1, -1, 4, 0},
};

// Every call passes six arguments on, as the C library's own syscall()
// reads them.
long syscall(long number, ...)
{
    va_list more;
    va_start(more, number);
    long arguments[6];
    for (int i = 0; i < 6; ++i)
        arguments[i] = va_arg(more, long);
    va_end(more);
    NEXT(syscall);
    int watched = 0;
    for (size_t i = 0; i < sizeof file_syscalls / sizeof file_syscalls[0]; ++i) {
        const struct file_syscall* call = &file_syscalls[i];
        if (call->number != number)
            continue;
        char name[64];
        snprintf(name, sizeof name, "syscall:%s", call->name);
        if (call->path >= 0) {
            const char* path = (const char*)arguments[call->path];
            const int dirfd = call->folder >= 0 ? (int)arguments[call->folder] : AT_FDCWD;
            watched = at_under_folders(dirfd, path);
            if (refuse_path(name, watched, path))
                return -1;
        } else if (call->descriptor >= 0 && !(number == SYS_mmap && (arguments[3] & MAP_ANONYMOUS)) &&
                   refuse_descriptor(name, (int)arguments[call->descriptor])) {
            return -1;
        }
        const long result = next_syscall(number, arguments[0], arguments[1], arguments[2], arguments[3],
                                         arguments[4], arguments[5]);
        return call->opens ? opened(result, watched) : result;
    }
    return next_syscall(number, arguments[0], arguments[1], arguments[2], arguments[3], arguments[4], arguments[5]);
}
