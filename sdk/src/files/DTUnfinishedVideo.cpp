#include "files/DTUnfinishedVideo.h"

#include "base/DTLog.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>
#include <vector>

namespace kestrel {

namespace {

const char name_prefix[] = ".lumivista-unfinished-";
const std::size_t prefix_length = sizeof name_prefix - 1;
const std::size_t digits = 8;
// A new random name each try; a clash with another file is all but
// impossible, a clean-up taking the new file before it is locked rare.
const int name_tries = 16;
// More than the video writer buffers (32 KiB): a folder without that much
// room fails the probe as it failed the writer.
const std::size_t probe_bytes = 64 * 1024;

std::string descriptor_link(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

bool same_file(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `name` in the folder still names the open file `fd`: between
// opening and locking, a clean-up may have removed it.
bool still_named(int folder_fd, const std::string& name, int fd) {
    struct stat by_name, opened;
    return ::fstatat(folder_fd, name.c_str(), &by_name, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &opened) == 0 &&
           same_file(by_name, opened);
}

bool held_by_another(int error) { return error == EWOULDBLOCK || error == EAGAIN || error == EACCES; }

int system_rename_noreplace(int folder_fd, const char* from, const char* to) {
    return ::renameat2(folder_fd, from, folder_fd, to, RENAME_NOREPLACE);
}

int system_link(int folder_fd, const char* from, const char* to) { return ::linkat(folder_fd, from, folder_fd, to, 0); }

// Both kinds of lock, so that neither a session of this kind nor an older
// one (flock alone) loses its file. The writer's descriptor takes a write
// lock; a clean-up's, open for reading only, a read lock, which a writer's
// excludes. A kind the file system lacks is left out; none at all fails
// with the first kind's errno.
int system_lock(int fd) {
    const int access = ::fcntl(fd, F_GETFL);
    struct flock whole_file = {};
    whole_file.l_type = access >= 0 && (access & O_ACCMODE) != O_RDONLY ? F_WRLCK : F_RDLCK;
    whole_file.l_whence = SEEK_SET;
    const bool described = ::fcntl(fd, F_OFD_SETLK, &whole_file) == 0;
    const int described_error = described ? 0 : errno;
    if (held_by_another(described_error)) {
        errno = EWOULDBLOCK;
        return -1;
    }
    const bool flocked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (!flocked && errno == EWOULDBLOCK)
        return -1;
    if (described || flocked)
        return 0;
    errno = described_error;
    return -1;
}

// Once a process: every video in such a folder would say it again.
void report_no_lock(int error) {
    static std::atomic<bool> reported(false);
    if (reported.exchange(true))
        return;
    log_line(logger::warning()) << "[unfinished_video] no lock can be taken on an unfinished video ("
                                << std::generic_category().message(error)
                                << "): what killed runs leave in such a folder is kept" << std::endl;
}

// A leftover goes only while a lock on it can be had at once (a killed
// run's lock ended with its process) and its name still names the locked
// file. Links, folders, pipes and devices are never opened for it.
void remove_if_abandoned(const unfinished_video_calls& calls, int folder_fd, const std::string& name) {
    struct stat status;
    if (::fstatat(folder_fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode))
        return;
    const int fd =
        ::openat(folder_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        if (calls.lock(fd) == 0) {
            if (still_named(folder_fd, name, fd))
                ::unlinkat(folder_fd, name.c_str(), 0);
        } else if (!held_by_another(errno)) {
            report_no_lock(errno);
        }
    }
    ::close(fd);
}

// A folder that cannot be listed keeps its leftovers.
void remove_leftovers(const unfinished_video_calls& calls, int folder_fd) {
    const int list_fd = ::openat(folder_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (list_fd < 0)
        return;
    DIR* listing = ::fdopendir(list_fd);
    if (!listing) {
        ::close(list_fd);
        return;
    }
    std::vector<std::string> names;
    while (const struct dirent* entry = ::readdir(listing))
        if (unfinished_video::is_unfinished_name(entry->d_name))
            names.emplace_back(entry->d_name);
    ::closedir(listing);
    for (const std::string& name : names)
        remove_if_abandoned(calls, folder_fd, name);
}

// A result's name is one plain name in the folder, and never a hidden
// unfinished one: a clean-up would take it for a leftover.
bool is_result_name(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           !unfinished_video::is_unfinished_name(name);
}

int write_zeros(int fd, std::size_t bytes) {
    const std::vector<char> zeros(bytes);
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t written = ::write(fd, zeros.data() + done, bytes - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : ENOSPC;
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

// Where a file system cannot link: an empty file made at the name reserves
// it, and the video replaces only that.
int rename_onto_reservation(int folder_fd, const std::string& from, const std::string& to) {
    const int reserved = ::openat(folder_fd, to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (reserved < 0)
        return errno;
    int error = 0;
    if (::renameat(folder_fd, from.c_str(), folder_fd, to.c_str()) != 0) {
        error = errno;
        if (still_named(folder_fd, to, reserved))
            ::unlinkat(folder_fd, to.c_str(), 0);
    }
    ::close(reserved);
    return error;
}

bool no_such_call(int error) { return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP; }

} // namespace

const unfinished_video_calls& system_unfinished_video_calls() {
    static const unfinished_video_calls calls{system_rename_noreplace, system_link, system_lock};
    return calls;
}

unfinished_video::~unfinished_video() {
    discard();
    close_let_go();
    release_folder();
}

std::string unfinished_video::new_name() {
    std::random_device random;
    char hex[digits + 1];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned int>(random()));
    return name_prefix + std::string(hex);
}

bool unfinished_video::is_unfinished_name(const std::string& name) {
    if (name.size() != prefix_length + digits || name.compare(0, prefix_length, name_prefix) != 0)
        return false;
    for (std::size_t i = prefix_length; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

int unfinished_video::create(const std::string& folder, const std::string& first_name) {
    discard();
    close_let_go();
    release_folder();
    if (const int error = hold_folder(folder))
        return error;
    remove_leftovers(calls_, folder_fd_);
    return create_file(is_unfinished_name(first_name) ? first_name : new_name());
}

int unfinished_video::hold_folder(const std::string& folder) {
    // O_PATH: a folder that may be written but not listed is held too.
    folder_fd_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd_ < 0)
        return errno;
    folder_ = folder;
    return 0;
}

void unfinished_video::release_folder() {
    if (folder_fd_ >= 0)
        ::close(folder_fd_);
    folder_fd_ = -1;
    folder_.clear();
}

int unfinished_video::create_file(const std::string& first_name) {
    for (int i = 0; i < name_tries; ++i) {
        const std::string name = i == 0 ? first_name : new_name();
        const int fd = ::openat(folder_fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        // Held by another: a clean-up came between creating and locking,
        // and removes it. Any other failure is a file system without
        // locks, where no clean-up can lock, and so remove, it either.
        bool taken = false;
        if (calls_.lock(fd) != 0) {
            taken = held_by_another(errno);
            if (!taken)
                report_no_lock(errno);
        }
        if (taken || !still_named(folder_fd_, name, fd)) {
            ::close(fd);
            continue;
        }
        name_ = name;
        file_fd_ = fd;
        return 0;
    }
    return EEXIST;
}

bool unfinished_video::folder_removed() const {
    struct stat held;
    return folder_fd_ >= 0 && ::fstat(folder_fd_, &held) == 0 && held.st_nlink == 0;
}

std::string unfinished_video::writer_path() const {
    if (file_fd_ < 0)
        return std::string();
    // The descriptor's link follows the folder wherever it goes; without
    // /proc the path it was given is all there is.
    const std::string through_folder = descriptor_link(folder_fd_);
    struct stat status;
    if (::stat(through_folder.c_str(), &status) == 0)
        return through_folder + "/" + name_;
    return folder_ + "/" + name_;
}

std::string unfinished_video::folder_path() const {
    // The path as the user knows it (through their links) while it still
    // leads to the folder.
    struct stat held, by_path;
    if (folder_fd_ < 0 || ::fstat(folder_fd_, &held) != 0 || held.st_nlink == 0 ||
        (::stat(folder_.c_str(), &by_path) == 0 && same_file(held, by_path)))
        return folder_;
    std::vector<char> target(4096);
    for (;;) {
        const ssize_t length = ::readlink(descriptor_link(folder_fd_).c_str(), target.data(), target.size());
        if (length < 0 || target[0] != '/')
            return folder_;
        if (static_cast<std::size_t>(length) < target.size())
            return std::string(target.data(), static_cast<std::size_t>(length));
        target.resize(target.size() * 2);
    }
}

int unfinished_video::finish_as(const std::string& name) { return finish(name, false); }

int unfinished_video::finish_replacing(const std::string& name) { return finish(name, true); }

int unfinished_video::finish(const std::string& name, bool replacing) {
    if (file_fd_ < 0)
        return ENOENT;
    if (!is_result_name(name))
        return EINVAL;
    int error = 0;
    if (replacing) {
        // Only a regular file is replaced. No call renames over a regular
        // file alone: what is put there between the look and the renaming
        // goes unseen.
        struct stat status;
        if (::fstatat(folder_fd_, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(status.st_mode))
            return S_ISDIR(status.st_mode) ? EISDIR : EEXIST;
        if (::renameat(folder_fd_, name_.c_str(), folder_fd_, name.c_str()) != 0)
            error = errno;
    } else {
        error = name_without_replacing(name);
    }
    if (error != 0)
        return error;
    // Named, it is nobody's leftover: the lock may go, but its close may
    // wait for the file system, and is no part of the naming.
    let_go();
    return 0;
}

int unfinished_video::name_without_replacing(const std::string& name) {
    if (calls_.rename_noreplace(folder_fd_, name_.c_str(), name.c_str()) == 0)
        return 0;
    if (!no_such_call(errno))
        return errno;
    // Without that renaming a second name is made, which never replaces,
    // and the hidden one goes; should it stay, it is only a second name of
    // a named video, which a clean-up may take.
    if (calls_.link(folder_fd_, name_.c_str(), name.c_str()) == 0) {
        ::unlinkat(folder_fd_, name_.c_str(), 0);
        return 0;
    }
    if (errno == EPERM || no_such_call(errno))
        return rename_onto_reservation(folder_fd_, name_, name);
    return errno;
}

bool unfinished_video::remove_name() {
    if (file_fd_ < 0 || name_.empty())
        return true;
    if (still_named(folder_fd_, name_, file_fd_) && ::unlinkat(folder_fd_, name_.c_str(), 0) != 0)
        return false;
    name_.clear();
    return true;
}

void unfinished_video::keep() {
    if (file_fd_ >= 0)
        let_go();
}

void unfinished_video::let_go() {
    close_let_go();
    let_go_fd_ = file_fd_;
    file_fd_ = -1;
    name_.clear();
}

void unfinished_video::close_let_go() {
    if (let_go_fd_ >= 0)
        ::close(let_go_fd_);
    let_go_fd_ = -1;
}

void unfinished_video::discard() {
    if (file_fd_ < 0)
        return;
    remove_name();
    ::close(file_fd_);
    file_fd_ = -1;
    name_.clear();
}

int unfinished_video::set_permissions(unsigned permissions) {
    if (file_fd_ < 0)
        return ENOENT;
    return ::fchmod(file_fd_, static_cast<mode_t>(permissions)) == 0 ? 0 : errno;
}

file_system_id unfinished_video::file_system() const {
    return folder_fd_ >= 0 ? file_system_of_descriptor(folder_fd_) : 0;
}

int unfinished_video::probe(const std::string& folder) {
    unfinished_video video;
    if (const int error = video.hold_folder(folder))
        return error;
    if (const int error = video.create_file(new_name()))
        return error;
    int error = write_zeros(video.file_fd_, probe_bytes);
    ::unlinkat(video.folder_fd_, video.name_.c_str(), 0);
    // Some file systems report a full disk only when the file is closed.
    if (::close(video.file_fd_) != 0 && error == 0)
        error = errno;
    video.file_fd_ = -1;
    video.name_.clear();
    return error;
}

} // namespace kestrel
