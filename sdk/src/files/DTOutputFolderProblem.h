#pragma once
// Why a video could not be written into its output folder, from the errno
// that a file operation there gave: the cause (a folder missing, removed
// while the video was made, a file, not writable, on a read-only drive or a
// full disk, ...), and the cause as one English sentence naming the folder.
// The program and the command-line maker say the same sentence; each adds
// what its user can do about it. A folder held since the making began
// (see unfinished_video) and removed meanwhile is `removed` whatever the
// errno: a new folder of its name may stand there now, so its sentence says
// to make the video again in words true either way. Any thread.

#include <string>

namespace kestrel {

enum class output_folder_cause {
    missing,
    removed,
    not_a_folder,
    not_permitted,
    read_only,
    disk_full,
    file_too_large,
    path_too_long,
    other
};

output_folder_cause output_folder_cause_of(const std::string& folder, int error, bool held_folder_removed);

// The sentence with "%1" for the folder and, for `other` alone, "%2" for the
// system's words for the errno (a translation's source text).
const char* output_folder_cause_words(output_folder_cause cause);

// The sentence filled in: the folder's bytes as they are, in double quotes.
std::string output_folder_problem(const std::string& folder, int error, bool held_folder_removed = false);

} // namespace kestrel
