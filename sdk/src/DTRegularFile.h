#pragma once
// Opening a media file from outside for reading without ever waiting in
// open() and without opening anything but a regular file: what is at the
// path is looked at first (a folder, a named pipe, a device, a terminal or
// a socket is refused unopened), then the path is opened non-blocking (a
// named pipe put there meanwhile would otherwise hold the caller until
// someone writes to it) and never as the controlling terminal, and only a
// regular file is kept, its descriptor switched back to blocking reads.
// What is refused is refused with its reason in plain words, as
// errors::file_access_reason words a file that cannot be opened. Any
// thread; a path's bytes go to the system as they are, UTF-8 or not.

#include <sys/types.h>

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

// Why the path cannot be opened as a media file, by what it is: missing
// or not allowed (errors::file_access_reason), irregular as above; empty
// for a regular file. Looks without opening.
std::string file_kind_reason(const std::string& path);

// A descriptor of the regular file at the path, for reading, closed on
// exec; or a negated errno (-EISDIR for a folder, -EINVAL for another
// kind that is no regular file) with `reason` set, when it is not null.
// `size` (when not null) receives the file's length.
int open_regular_file(const std::string& path, std::string* reason = nullptr, long long* size = nullptr);

// The same, never waiting: the regular file at the path, when the system
// knows the whole path already (nothing to ask of a disk or a network) and
// the file lies on a disk of this machine; else -EAGAIN, whatever the
// reason, for the caller to open it where a wait does no harm.
int open_known_local_file(const std::string& path, long long* size = nullptr);

} // namespace kestrel
