#include "files/DTPathWalk.h"

#include "files/DTFailureReason.h"
#include "files/DTFileSystem.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fstream>
#include <vector>

namespace kestrel {

namespace {

// As many links as the system follows in one path.
const int max_links = 40;

// The names of a path, the first last, so that the next is popped off the
// back; links put their names in front of the rest the same way.
void push_names(std::vector<std::string>& pending, const std::string& path) {
    std::size_t end = path.size();
    while (end > 0) {
        const std::size_t slash = path.rfind('/', end - 1);
        const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
        if (end > start)
            pending.push_back(path.substr(start, end - start));
        if (slash == std::string::npos)
            break;
        end = slash;
    }
}

// How the system takes a link it is asked to follow.
enum class link_kind { by_its_text, the_systems, not_followed };

// The mount's flags statfs gives (ST_VALID, ST_NOSYMFOLLOW of the kernel's
// linux/statfs.h, which the C library's headers may lack).
const unsigned long mount_flags_given = 0x0020, no_link_followed = 0x2000;

// How the system takes the located link `link`, read from its mount and
// file system themselves, so that a mount the mount table does not list
// (detached, or outside this process's root) is taken as it is: asks the
// link's file system, at the step that reads the link's text from it. The
// mount table's words only where that file system will not tell.
link_kind kind_of_link(int link, const struct statx& facts) {
    struct statfs held;
    if (::fstatfs(link, &held) != 0 || !(held.f_flags & mount_flags_given))
        return (facts.stx_mask & STATX_MNT_ID) && !links_followed_on_mount(facts.stx_mnt_id)
                   ? link_kind::not_followed
                   : link_kind::by_its_text;
    if (held.f_flags & no_link_followed)
        return link_kind::not_followed;
    // Wherever a proc file system is mounted, a descriptor's or a process's
    // link leads where only the system knows: its text may name another
    // file ("x (deleted)").
    return held.f_type == PROC_SUPER_MAGIC ? link_kind::the_systems : link_kind::by_its_text;
}

// Its kind, owner, device and mount from what the system holds: no file
// system is asked.
bool held_facts(int fd, struct statx& facts) {
    return ::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC,
                   STATX_TYPE | STATX_MODE | STATX_UID | STATX_MNT_ID, &facts) == 0;
}

// Whether fs.protected_symlinks is on; on when it cannot be read, the
// safer side.
bool links_protected() {
    std::ifstream setting("/proc/sys/fs/protected_symlinks");
    char value = '1';
    setting >> value;
    return value != '0';
}

// Whether the system would refuse to follow `link`, the link a path ends
// in, lying in `folder`: in a sticky folder everyone may write to, a link
// owned neither by its follower nor by the folder's owner is taken for a
// trap set for another user, the superuser too.
bool protected_link(int folder, const struct statx& link) {
    if (link.stx_uid == ::geteuid())
        return false;
    struct statx held;
    if (!held_facts(folder, held) || (held.stx_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH) ||
        held.stx_uid == link.stx_uid)
        return false;
    return links_protected();
}

// The text of the located link: true, or false with errno.
bool read_link(int link, std::string& text) {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlinkat(link, "", buffer.data(), buffer.size());
        if (length < 0)
            return false;
        if (static_cast<std::size_t>(length) < buffer.size()) {
            text.assign(buffer.data(), static_cast<std::size_t>(length));
            return true;
        }
        if (buffer.size() >= 1 << 16) {
            errno = ENAMETOOLONG;
            return false;
        }
        buffer.resize(buffer.size() * 4);
    }
}

located_path failed(int error, bool dangling_link = false) {
    located_path located;
    located.error = error;
    located.dangling_link = dangling_link && error == ENOENT;
    return located;
}

} // namespace

owned_descriptor& owned_descriptor::operator=(owned_descriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

owned_descriptor::~owned_descriptor() {
    if (fd_ >= 0)
        ::close(fd_);
}

int owned_descriptor::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

located_path locate_path(const std::string& asked_path, bool follow_last_link, call_steps& steps) {
    // The system reads the path up to its first NUL, and no longer than it
    // takes any path.
    const std::string path(asked_path.c_str());
    if (path.empty())
        return failed(ENOENT);
    if (path.size() >= PATH_MAX)
        return failed(ENAMETOOLONG);
    // "name/" names a folder, its link followed, as the system takes it.
    bool folder_wanted = path.back() == '/';
    follow_last_link = follow_last_link || folder_wanted;
    std::vector<std::string> pending;
    push_names(pending, path);
    owned_descriptor folder(::open(path[0] == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        return failed(errno);
    int links = 0;
    // The names pending come from the link the path ends in.
    bool in_last_link = false;
    while (!pending.empty()) {
        const std::string name = std::move(pending.back());
        pending.pop_back();
        const bool last = pending.empty();
        if (!steps.asking(file_system_of_descriptor(folder.get()))) {
            located_path refused = failed(EBUSY);
            refused.refusal = file_refusal::earlier_calls_wait;
            return refused;
        }
        if (name == "." || name == "..") {
            // Looked up as any name, so that the folder must let the user
            // search it.
            owned_descriptor next(::openat(folder.get(), name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (next.get() < 0)
                return failed(errno, in_last_link);
            folder = std::move(next);
            continue;
        }
        owned_descriptor found(::openat(folder.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct statx facts;
        if (found.get() < 0 || !held_facts(found.get(), facts))
            return failed(errno, in_last_link);
        if (S_ISLNK(facts.stx_mode) && (!last || follow_last_link)) {
            if (++links > max_links)
                return failed(ELOOP);
            // The system's own refusals, in its order: only the link a
            // path ends in is protected; no link of a mount made
            // nosymfollow is followed.
            if (last && protected_link(folder.get(), facts))
                return failed(EACCES);
            const link_kind kind = kind_of_link(found.get(), facts);
            if (kind == link_kind::not_followed)
                return failed(ELOOP);
            in_last_link = in_last_link || last;
            if (kind == link_kind::the_systems) {
                // A descriptor's or a process's link: where it leads is no
                // path of this process's; the system goes there itself.
                found = owned_descriptor(::openat(folder.get(), name.c_str(), O_PATH | O_CLOEXEC));
                if (found.get() < 0 || !held_facts(found.get(), facts))
                    return failed(errno, in_last_link);
            } else {
                std::string text;
                if (!read_link(found.get(), text))
                    return failed(errno);
                if (text.empty())
                    return failed(ENOENT, in_last_link);
                // The text of the link a path ends in, ending in "/",
                // names a folder as the path's own "/" would.
                if (last && text.back() == '/')
                    folder_wanted = true;
                push_names(pending, text);
                if (text[0] == '/') {
                    folder = owned_descriptor(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                    if (folder.get() < 0)
                        return failed(errno);
                }
                continue;
            }
        }
        if (!S_ISDIR(facts.stx_mode) && (!last || folder_wanted))
            return failed(ENOTDIR, in_last_link);
        if (last) {
            located_path located;
            located.fd = std::move(found);
            return located;
        }
        folder = std::move(found);
    }
    // The path ends in a folder: "/", ".", "a/..".
    located_path located;
    located.fd = std::move(folder);
    return located;
}

std::string real_path_of(int fd) {
    char link[32];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = ::readlink(link, buffer.data(), buffer.size());
        if (length < 0)
            return std::string();
        if (static_cast<std::size_t>(length) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        if (buffer.size() >= 1 << 16)
            return std::string();
        buffer.resize(buffer.size() * 4);
    }
}

std::string located_path_reason(const located_path& located) {
    if (located.refusal != file_refusal::none)
        return log_words(located.refusal);
    if (located.dangling_link)
        return "a link to nothing";
    return errors::file_access_reason(located.error);
}

file_system_id file_system_reached(const std::string& path) {
    return abandonable_call<file_system_id>(path, [path](call_steps& steps) {
        located_path located = locate_path(path, true, steps);
        const std::size_t slash = path.find_last_of('/');
        if (located.fd.get() < 0 && located.refusal == file_refusal::none && located.error == ENOENT)
            located = locate_path(slash == std::string::npos ? "." : path.substr(0, slash + 1), true, steps);
        if (located.refusal != file_refusal::none)
            KESTREL_THROW(refusal_failure(located.refusal));
        return located.fd.get() < 0 ? file_system_id(0) : file_system_of_descriptor(located.fd.get());
    });
}

int reopen_located(int located, int flags) {
    char path[32];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", located);
    return ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | flags);
}

} // namespace kestrel
