#include "ShareOperations.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace kestrel {
namespace share {

namespace {

share_state& state_of(fuse_req_t req) { return *static_cast<share_state*>(fuse_req_userdata(req)); }

std::string on_source(fuse_req_t req, const std::string& path) { return state_of(req).source + path; }

// The source's path of a node; empty when the kernel names one it was
// never given.
std::string node_path(fuse_req_t req, fuse_ino_t node) {
    const std::string path = state_of(req).nodes.path(node);
    return path.empty() && node != share_nodes::root ? std::string() : on_source(req, path);
}

void reply_outcome(fuse_req_t req, int result) { fuse_reply_err(req, result == 0 ? 0 : errno); }

// The name `path` (below the source) as a node, attributes never cached.
void reply_entry(fuse_req_t req, const std::string& path) {
    fuse_entry_param entry{};
    if (::lstat(on_source(req, path).c_str(), &entry.attr) != 0)
        return (void)fuse_reply_err(req, errno);
    entry.ino = state_of(req).nodes.node(path);
    fuse_reply_entry(req, &entry);
}

void reply_attr(fuse_req_t req, const std::string& source_path, int fd) {
    struct stat status;
    if (fd < 0 && source_path.empty())
        return (void)fuse_reply_err(req, ENOENT);
    if ((fd >= 0 ? ::fstat(fd, &status) : ::lstat(source_path.c_str(), &status)) != 0)
        return (void)fuse_reply_err(req, errno);
    fuse_reply_attr(req, &status, 0);
}

// What root's share makes belongs to whoever asked, as on their own disk.
void own_by_caller(fuse_req_t req, const std::string& source_path) {
    const fuse_ctx* asker = fuse_req_ctx(req);
    if (::geteuid() == 0 && ::lchown(source_path.c_str(), asker->uid, asker->gid) != 0)
        std::perror("kestrel_hanging_share: lchown");
}

// Every read and write reaches the share, none the kernel's cache.
void reply_opened(fuse_req_t req, fuse_file_info info, int fd) {
    if (fd < 0)
        return (void)fuse_reply_err(req, errno);
    info.fh = static_cast<uint64_t>(fd);
    info.direct_io = 1;
    info.keep_cache = 0;
    if (fuse_reply_open(req, &info) != 0)
        ::close(fd); // its opener is gone
}

int handle(const fuse_file_info* info) { return info ? static_cast<int>(info->fh) : -1; }

void init(void*, fuse_conn_info* connection) {
    // None waits behind a held request in the kernel: look-ups of one
    // folder (see ShareDevice.h) and reads of one file each reach the share.
    connection->want |= connection->capable & (FUSE_CAP_ASYNC_READ | FUSE_CAP_PARALLEL_DIROPS);
    connection->want &= ~(FUSE_CAP_WRITEBACK_CACHE | FUSE_CAP_SPLICE_READ | FUSE_CAP_SPLICE_WRITE |
                          FUSE_CAP_SPLICE_MOVE);
    connection->max_background = 64;
    connection->congestion_threshold = 48;
}

void lookup(fuse_req_t req, fuse_ino_t parent, const char* name) {
    const std::string path = state_of(req).nodes.child(parent, name);
    state_of(req).held.serve("lookup", [=] { reply_entry(req, path); });
}

void getattr(fuse_req_t req, fuse_ino_t node, fuse_file_info* info) {
    const int fd = handle(info);
    state_of(req).held.serve("getattr", [=] { reply_attr(req, node_path(req, node), fd); });
}

int set_times(const std::string& path, int fd, const struct stat& attr, int to_set) {
    timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
    if (to_set & FUSE_SET_ATTR_ATIME)
        times[0] = attr.st_atim;
    if (to_set & FUSE_SET_ATTR_MTIME)
        times[1] = attr.st_mtim;
    if (to_set & FUSE_SET_ATTR_ATIME_NOW)
        times[0] = {0, UTIME_NOW};
    if (to_set & FUSE_SET_ATTR_MTIME_NOW)
        times[1] = {0, UTIME_NOW};
    return fd >= 0 ? ::futimens(fd, times) : ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

// Each change asked for, by the open file when there is one; the first
// failure ends it.
int change_attributes(const std::string& path, int fd, const struct stat& attr, int to_set) {
    if ((to_set & FUSE_SET_ATTR_MODE) &&
        (fd >= 0 ? ::fchmod(fd, attr.st_mode) : ::chmod(path.c_str(), attr.st_mode)) != 0)
        return -1;
    const uid_t owner = (to_set & FUSE_SET_ATTR_UID) ? attr.st_uid : static_cast<uid_t>(-1);
    const gid_t group = (to_set & FUSE_SET_ATTR_GID) ? attr.st_gid : static_cast<gid_t>(-1);
    if ((to_set & (FUSE_SET_ATTR_UID | FUSE_SET_ATTR_GID)) &&
        (fd >= 0 ? ::fchown(fd, owner, group) : ::lchown(path.c_str(), owner, group)) != 0)
        return -1;
    if ((to_set & FUSE_SET_ATTR_SIZE) &&
        (fd >= 0 ? ::ftruncate(fd, attr.st_size) : ::truncate(path.c_str(), attr.st_size)) != 0)
        return -1;
    const int times = FUSE_SET_ATTR_ATIME | FUSE_SET_ATTR_MTIME | FUSE_SET_ATTR_ATIME_NOW | FUSE_SET_ATTR_MTIME_NOW;
    if ((to_set & times) && set_times(path, fd, attr, to_set) != 0)
        return -1;
    return 0;
}

void setattr(fuse_req_t req, fuse_ino_t node, struct stat* attr, int to_set, fuse_file_info* info) {
    const int fd = handle(info);
    const struct stat wanted = *attr;
    state_of(req).held.serve("setattr", [=] {
        const std::string path = node_path(req, node);
        if (fd < 0 && path.empty())
            return (void)fuse_reply_err(req, ENOENT);
        if (change_attributes(path, fd, wanted, to_set) != 0)
            return (void)fuse_reply_err(req, errno);
        reply_attr(req, path, fd);
    });
}

void readlink(fuse_req_t req, fuse_ino_t node) {
    state_of(req).held.serve("readlink", [=] {
        std::vector<char> target(PATH_MAX + 1);
        const ssize_t length = ::readlink(node_path(req, node).c_str(), target.data(), target.size() - 1);
        if (length < 0)
            return (void)fuse_reply_err(req, errno);
        target[static_cast<std::size_t>(length)] = '\0';
        fuse_reply_readlink(req, target.data());
    });
}

// A new name in a folder, made by `make` on the source's path: answered
// as the new node, owned by the asker.
template <class Make>
void make_name(fuse_req_t req, fuse_ino_t parent, const char* name, Make make) {
    const std::string path = state_of(req).nodes.child(parent, name);
    state_of(req).held.serve("create", [=] {
        const std::string made = on_source(req, path);
        if (make(made) != 0)
            return (void)fuse_reply_err(req, errno);
        own_by_caller(req, made);
        reply_entry(req, path);
    });
}

void mknod(fuse_req_t req, fuse_ino_t parent, const char* name, mode_t mode, dev_t device) {
    make_name(req, parent, name, [=](const std::string& path) { return ::mknod(path.c_str(), mode, device); });
}

void mkdir(fuse_req_t req, fuse_ino_t parent, const char* name, mode_t mode) {
    make_name(req, parent, name, [=](const std::string& path) { return ::mkdir(path.c_str(), mode); });
}

void symlink(fuse_req_t req, const char* target, fuse_ino_t parent, const char* name) {
    const std::string points_to = target;
    make_name(req, parent, name, [=](const std::string& path) { return ::symlink(points_to.c_str(), path.c_str()); });
}

// A second name is a node of its own, of the same file (the same inode
// number), as a share without stable nodes has it.
void link(fuse_req_t req, fuse_ino_t node, fuse_ino_t parent, const char* name) {
    make_name(req, parent, name, [=](const std::string& path) {
        const std::string existing = node_path(req, node);
        if (existing.empty()) {
            errno = ENOENT;
            return -1;
        }
        return ::link(existing.c_str(), path.c_str());
    });
}

void remove_name(fuse_req_t req, fuse_ino_t parent, const char* name, int (*remove)(const char*)) {
    const std::string path = state_of(req).nodes.child(parent, name);
    state_of(req).held.serve("unlink", [=] {
        const int result = remove(on_source(req, path).c_str());
        if (result == 0)
            state_of(req).nodes.removed(path);
        reply_outcome(req, result);
    });
}

void unlink(fuse_req_t req, fuse_ino_t parent, const char* name) { remove_name(req, parent, name, ::unlink); }

void rmdir(fuse_req_t req, fuse_ino_t parent, const char* name) { remove_name(req, parent, name, ::rmdir); }

void rename(fuse_req_t req, fuse_ino_t parent, const char* name, fuse_ino_t new_parent, const char* new_name,
            unsigned int flags) {
    share_nodes& nodes = state_of(req).nodes;
    const std::string from = nodes.child(parent, name), to = nodes.child(new_parent, new_name);
    state_of(req).held.serve("rename", [=, &nodes] {
        const int result =
            ::renameat2(AT_FDCWD, on_source(req, from).c_str(), AT_FDCWD, on_source(req, to).c_str(), flags);
        if (result == 0 && (flags & RENAME_EXCHANGE))
            nodes.exchanged(from, to);
        else if (result == 0)
            nodes.renamed(from, to);
        reply_outcome(req, result);
    });
}

void open(fuse_req_t req, fuse_ino_t node, fuse_file_info* info) {
    const fuse_file_info asked = *info;
    state_of(req).held.serve("open", [=] {
        reply_opened(req, asked, ::open(node_path(req, node).c_str(), asked.flags | O_CLOEXEC));
    });
}

void create(fuse_req_t req, fuse_ino_t parent, const char* name, mode_t mode, fuse_file_info* info) {
    const std::string path = state_of(req).nodes.child(parent, name);
    fuse_file_info opened = *info;
    state_of(req).held.serve("create", [=]() mutable {
        const std::string made = on_source(req, path);
        const int fd = ::open(made.c_str(), opened.flags | O_CREAT | O_CLOEXEC, mode);
        if (fd < 0)
            return (void)fuse_reply_err(req, errno);
        own_by_caller(req, made);
        fuse_entry_param entry{};
        if (::fstat(fd, &entry.attr) != 0) {
            const int error = errno;
            ::close(fd);
            return (void)fuse_reply_err(req, error);
        }
        entry.ino = state_of(req).nodes.node(path);
        opened.fh = static_cast<uint64_t>(fd);
        opened.direct_io = 1;
        opened.keep_cache = 0;
        if (fuse_reply_create(req, &entry, &opened) != 0)
            ::close(fd);
    });
}

void read(fuse_req_t req, fuse_ino_t, size_t size, off_t offset, fuse_file_info* info) {
    const int fd = handle(info);
    state_of(req).held.serve("read", [=] {
        std::vector<char> bytes(size);
        const ssize_t got = ::pread(fd, bytes.data(), size, offset);
        if (got < 0)
            return (void)fuse_reply_err(req, errno);
        fuse_reply_buf(req, bytes.data(), static_cast<std::size_t>(got));
    });
}

void write(fuse_req_t req, fuse_ino_t, const char* data, size_t size, off_t offset, fuse_file_info* info) {
    const int fd = handle(info);
    const std::string bytes(data, size); // the request's buffer is reused meanwhile
    state_of(req).held.serve("write", [=] {
        const ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (written < 0)
            return (void)fuse_reply_err(req, errno);
        fuse_reply_write(req, static_cast<std::size_t>(written));
    });
}

void flush(fuse_req_t req, fuse_ino_t, fuse_file_info*) {
    state_of(req).held.serve("flush", [=] { fuse_reply_err(req, 0); });
}

void fsync(fuse_req_t req, fuse_ino_t, int data_only, fuse_file_info* info) {
    const int fd = handle(info);
    state_of(req).held.serve("flush", [=] { reply_outcome(req, data_only ? ::fdatasync(fd) : ::fsync(fd)); });
}

// The end of an open file is never held: the kernel does not wait for it.
void release(fuse_req_t req, fuse_ino_t, fuse_file_info* info) {
    ::close(handle(info));
    fuse_reply_err(req, 0);
}

void opendir(fuse_req_t req, fuse_ino_t node, fuse_file_info* info) {
    const fuse_file_info asked = *info;
    state_of(req).held.serve("open", [=] {
        reply_opened(req, asked, ::open(node_path(req, node).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    });
}

// The folder's entries from `offset` on: an entry's offset is its place
// in the listing, plus one.
void list_folder(fuse_req_t req, int fd, size_t size, off_t offset) {
    const int listed = ::dup(fd);
    DIR* folder = listed < 0 ? nullptr : ::fdopendir(listed);
    if (!folder) {
        const int error = errno;
        if (listed >= 0)
            ::close(listed);
        return (void)fuse_reply_err(req, error);
    }
    ::rewinddir(folder);
    std::vector<char> out(size);
    std::size_t used = 0;
    off_t place = 0;
    while (const dirent* entry = ::readdir(folder)) {
        if (++place <= offset)
            continue;
        struct stat kind {};
        kind.st_ino = entry->d_ino;
        kind.st_mode = static_cast<mode_t>(DTTOIF(entry->d_type));
        const std::size_t needed =
            fuse_add_direntry(req, out.data() + used, size - used, entry->d_name, &kind, place);
        if (needed > size - used)
            break;
        used += needed;
    }
    ::closedir(folder);
    fuse_reply_buf(req, out.data(), used);
}

void readdir(fuse_req_t req, fuse_ino_t, size_t size, off_t offset, fuse_file_info* info) {
    const int fd = handle(info);
    state_of(req).held.serve("read", [=] { list_folder(req, fd, size, offset); });
}

void fsyncdir(fuse_req_t req, fuse_ino_t node, int data_only, fuse_file_info* info) {
    fsync(req, node, data_only, info);
}

void statfs(fuse_req_t req, fuse_ino_t) {
    state_of(req).held.serve("getattr", [=] {
        struct statvfs disk;
        if (::statvfs(state_of(req).source.c_str(), &disk) != 0)
            return (void)fuse_reply_err(req, errno);
        fuse_reply_statfs(req, &disk);
    });
}

fuse_lowlevel_ops make_operations() {
    fuse_lowlevel_ops ops{};
    ops.init = init;
    ops.lookup = lookup;
    ops.getattr = getattr;
    ops.setattr = setattr;
    ops.readlink = readlink;
    ops.mknod = mknod;
    ops.mkdir = mkdir;
    ops.unlink = unlink;
    ops.rmdir = rmdir;
    ops.symlink = symlink;
    ops.rename = rename;
    ops.link = link;
    ops.open = open;
    ops.read = read;
    ops.write = write;
    ops.flush = flush;
    ops.release = release;
    ops.fsync = fsync;
    ops.opendir = opendir;
    ops.readdir = readdir;
    ops.releasedir = release;
    ops.fsyncdir = fsyncdir;
    ops.statfs = statfs;
    ops.create = create;
    return ops;
}

} // namespace

const fuse_lowlevel_ops& share_operations() {
    static const fuse_lowlevel_ops ops = make_operations();
    return ops;
}

} // namespace share
} // namespace kestrel
