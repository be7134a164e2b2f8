#pragma once
// Opening a media file from outside for reading without ever waiting in
// open() and without opening anything but a regular file: what is at the
// path is located first without being opened (a folder, a named pipe, a
// device, a terminal or a socket is refused unopened), then that very file
// is opened, non-blocking and never as the controlling terminal, its
// descriptor switched back to blocking reads. What is refused is refused
// with its reason in plain words, as errors::file_access_reason words a
// file that cannot be opened. A file another program holds a lease on (a
// file server) is refused at once rather than waited for, unless the
// caller may wait. Any thread; a path's bytes go to the system as they
// are, UTF-8 or not.
//
// The calls that never wait (openat2 with RESOLVE_CACHED, preadv2 with
// RWF_NOWAIT) may be refused by the system (ENOSYS on an older kernel,
// EPERM in a sandbox); whoever uses them goes another way then. They are
// reached through no_wait_calls, which a test may replace.

#include "files/DTAbandonableCall.h"
#include "files/DTFileSystem.h"

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace kestrel {

// What a file of this kind (stat's st_mode) is, in words: "a folder", "a
// named pipe", "a device", "a socket", "a regular file", else "not a
// regular file".
const char* file_kind_words(mode_t mode);

// Why a file of this kind (stat's st_mode) is no media file: "a folder,
// not a file", "not a regular file: a named pipe", "... a device",
// "... a socket"; empty for a regular file.
std::string irregular_file_reason(mode_t mode);

// Why the path, which the system could not look at (errno `error`), cannot
// be opened: "a link to nothing" for a symbolic link whose target is not
// there, else errors::file_access_reason. Looks on the caller's thread.
std::string missing_file_reason(const std::string& path, int error);

struct no_wait_calls {
    // The path located, not opened (O_PATH), through what the system
    // knows already: a descriptor, or -1 with errno (EAGAIN when a disk
    // or a network would have to be asked).
    int (*locate_known)(const char* path);
    // Up to `size` bytes at `offset` (-1: from the file's position, which
    // moves on) that the system has at hand: bytes, or -1 with errno
    // (EAGAIN when they would have to come from a disk or a network).
    ssize_t (*read_at_hand)(int fd, void* buffer, std::size_t size, off_t offset);
};

// The system's calls.
const no_wait_calls& system_no_wait_calls();
// The calls in use: the system's, or those last given to use_no_wait_calls
// (null gives the system's back), which must live until replaced.
const no_wait_calls& current_no_wait_calls();
void use_no_wait_calls(const no_wait_calls* calls);

// A descriptor of the regular file at the path, for reading, closed on
// exec; or a negated errno (-EISDIR for a folder, -EINVAL for another
// kind that is no regular file, -EWOULDBLOCK for a file under a lease
// unless `may_wait_for_lease`, -EBUSY when a file system's places for
// calls left waiting are all taken) with `reason` set (its refusal where
// it is one), when it is not null. `size` (when not null) receives the file's length. A caller that
// may wait for a lease to be let go (one that can be left behind) waits
// in open() then, for up to the system's lease-break time. The path is
// followed one name at a time, each step told to `steps` (files/DTPathWalk.h);
// without steps, they are made here, refused only on a file system whose
// places are all taken.
int open_regular_file(const std::string& path, refused_file* reason = nullptr, long long* size = nullptr,
                      bool may_wait_for_lease = false, call_steps* steps = nullptr);

// The same, never waiting: the regular file at the path, when the system
// knows the whole path already (nothing to ask of a disk or a network),
// the file lies on a disk of this machine (not one with the network
// behind, see network_block_device) and nobody holds a lease on it; else
// -EAGAIN, whatever the reason, for the caller to open it where a wait
// does no harm. `file_system` (when not null) receives the file system of
// the file located; it is left alone when nothing was located (that is
// told by the steps of an opening that may wait).
int open_known_local_file(const std::string& path, long long* size = nullptr,
                          file_system_id* file_system = nullptr);

} // namespace kestrel
