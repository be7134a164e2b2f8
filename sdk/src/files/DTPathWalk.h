#pragma once
// Following a path one name at a time, as the system follows it, so that
// the file system each look-up asks is told before it is asked
// (call_steps::asking, files/DTAbandonableCall.h): a link on this machine's disk
// that leads into a share counts on the share, and "..", links and mounts
// are taken as the system takes them, not by the path's words. A link's
// text is read from the file system the link lies on; links of a proc
// file system, wherever mounted (a descriptor's, a process's root), are
// followed by the system, which alone knows where they lead. What the system refuses is refused with its
// errno: a path of PATH_MAX bytes or more, a folder the user may not
// search (also before "." or ".."), a link on a mount made nosymfollow,
// the link a path ends in where fs.protected_symlinks forbids it, a file
// named by a link whose text ends in "/". Locates only (O_PATH): nothing
// is opened for reading, no device or pipe acts. Any thread.

#include "files/DTAbandonableCall.h"

#include <sys/stat.h>

#include <string>

namespace kestrel {

// A descriptor owned: closed when it goes.
class owned_descriptor : private boost::noncopyable {
public:
    explicit owned_descriptor(int fd = -1) : fd_(fd) {}
    owned_descriptor(owned_descriptor&& other) noexcept : fd_(other.release()) {}
    owned_descriptor& operator=(owned_descriptor&& other) noexcept;
    ~owned_descriptor();
    int get() const { return fd_; }
    int release();

private:
    int fd_;
};

struct located_path {
    owned_descriptor fd; // O_PATH, close-on-exec; -1 when nothing was located
    // When nothing was located: the errno (ENOENT, EACCES, ENOTDIR, ELOOP,
    // ENAMETOOLONG, ...; EBUSY when a step was refused), and whether it
    // was met following the link the path ends in (ENOENT: a link to
    // nothing).
    int error = 0;
    bool dangling_link = false;
    // earlier_calls_wait when a step was refused (call_steps::asking).
    file_refusal refusal = file_refusal::none;
};

// What the path leads to, its last link followed or not.
located_path locate_path(const std::string& path, bool follow_last_link, call_steps& steps);

// The path a located descriptor has now, links and ".." resolved, as the
// system tells it; empty when it cannot.
std::string real_path_of(int fd);

// Why nothing was located: the refusal's log words, "a link to nothing",
// else errors::file_access_reason.
std::string located_path_reason(const located_path& located);

// The file system of what the path leads to, or, where that is nothing
// yet (a file about to be made), of the folder it would be made in; 0 when
// neither can be located. Followed as locate_path follows it, as an
// abandonable call (files/DTAbandonableCall.h) within the caller's scope:
// read_interrupted when given up, the refusal earlier_calls_wait when a
// step is refused.
file_system_id file_system_reached(const std::string& path);

// Reopens a located regular file or folder for reading (`flags` added to
// O_RDONLY | O_CLOEXEC | O_NOCTTY), never another file put at its path
// meanwhile: a descriptor, or -1 with errno.
int reopen_located(int located, int flags);

} // namespace kestrel
