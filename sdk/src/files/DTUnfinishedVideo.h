#pragma once
// A video while it is made: written under a hidden name in its output folder
// (".lumivista-unfinished-" and eight lowercase hexadecimal digits, the name
// older runs left too: keep it) and given its result's name only once it is
// complete, so that a stopped, failed or killed production never leaves a
// file among the user's videos under a normal name.
//
// The folder is held open from create() on, and the file is made, named and
// removed relative to it: the video ends in that folder even when it was
// moved or renamed meanwhile. While the file is unfinished it is held under
// a write lock of its open file description (F_OFD_SETLK, which network
// file systems without flock support too) and, where the file system has
// it, flock (which older runs took alone). The clean-up of what killed runs
// left removes only files of the exact name on which it takes a lock at once
// and none is held, so a video another session is still writing is never
// touched. Where no lock can be taken the log says so once, and such a
// folder's leftovers stay.
//
// Paths are the system's bytes (UTF-8 or not); failures are errno values, 0
// for none. Owns its file: going, it removes a file still unfinished, and
// closes last the descriptor a named or kept file was locked through (that
// close may wait for the file system). One thread at a time.

#include "files/DTFileSystem.h"

#include <string>

namespace kestrel {

// The calls whose support differs between file systems, as the system calls
// go (0, or -1 with errno), so that a test can play a file system without
// them.
struct unfinished_video_calls {
    // renameat2 with RENAME_NOREPLACE within one folder: EINVAL or ENOSYS
    // where the file system or the kernel has no such renaming.
    int (*rename_noreplace)(int folder_fd, const char* from, const char* to);
    // linkat within one folder, never following links: EPERM, EOPNOTSUPP or
    // ENOSYS where the file system has no hard links.
    int (*link)(int folder_fd, const char* from, const char* to);
    // Locks the open file at once against other open files: a write lock
    // when it is open for writing, else one that a writer's lock excludes.
    // EWOULDBLOCK when another holds a lock on it.
    int (*lock)(int fd);
};

// The system's own.
const unfinished_video_calls& system_unfinished_video_calls();

class unfinished_video {
public:
    explicit unfinished_video(const unfinished_video_calls& calls = system_unfinished_video_calls())
        : calls_(calls) {}
    ~unfinished_video();
    unfinished_video(const unfinished_video&) = delete;
    unfinished_video& operator=(const unfinished_video&) = delete;

    // Holds `folder`, removes what killed runs left there, then creates an
    // empty file under a new hidden name, locked: `first_name` (one of
    // new_name()) when it is free.
    int create(const std::string& folder, const std::string& first_name = std::string());

    // The path the video's writer opens: through the held folder, so it
    // names the file wherever the folder is now. Empty without a file.
    std::string writer_path() const;
    // Where the held folder is now: the path it was given while that still
    // leads to it, or when it was removed (or where it is cannot be read).
    // Empty before create().
    std::string folder_path() const;
    // Whether the held folder was removed: a folder of its name there now
    // is another one.
    bool folder_removed() const;

    // Gives the complete file the name `name` (no folder) in its folder,
    // never replacing a file: EEXIST when the name is taken, even by a file
    // made a moment before. The file stays unfinished when naming fails.
    int finish_as(const std::string& name);
    // The same, replacing a regular file of that name; anything else there
    // (a folder, a link, a pipe, a device) stays: EISDIR for a folder,
    // EEXIST for the others.
    int finish_replacing(const std::string& name);
    // Removes the file while it is unfinished.
    void discard();
    // Lets the file go under its hidden name, never to be removed by this
    // object: a complete video that could not be named.
    void keep();
    // Removes its name while it is unfinished, the file still held open
    // (its close may wait for the file system): true when no unfinished
    // name is left.
    bool remove_name();
    // Gives the unfinished file these permissions (a replaced file's):
    // 0 or the errno.
    int set_permissions(unsigned permissions);
    // The file's hidden name while it is unfinished; empty otherwise.
    const std::string& name() const { return name_; }
    // The file system of the held folder, as far as the system knows it
    // without asking it; 0 before create().
    file_system_id file_system() const;

    // Whether `folder` takes a new file and some data (as much as the video
    // writer buffers): writes one under a hidden name and removes it.
    static int probe(const std::string& folder);

    // Whether `name` is a hidden name of an unfinished video.
    static bool is_unfinished_name(const std::string& name);
    // A new random hidden name.
    static std::string new_name();

private:
    int hold_folder(const std::string& folder);
    int create_file(const std::string& first_name);
    int finish(const std::string& name, bool replacing);
    int name_without_replacing(const std::string& name);
    void release_folder();
    void let_go();
    void close_let_go();

    unfinished_video_calls calls_;
    std::string folder_;     // as given to create()
    int folder_fd_ = -1;     // the held folder (O_PATH)
    std::string name_;       // the file's hidden name; empty once finished
    int file_fd_ = -1;       // holds the lock while unfinished
    int let_go_fd_ = -1;     // once named or kept, closed last
};

} // namespace kestrel
