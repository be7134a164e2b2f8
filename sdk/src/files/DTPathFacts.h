#pragma once
// What stands at a path, learnt without opening it and without waiting on
// the caller's thread: within a read_interruption_scope, or with a
// patience, the look is a call on a reader thread that a stop (or the
// patience running out) gives up (files/DTAbandonableCall.h), following the path
// one name at a time (files/DTPathWalk.h), so a share that hangs keeps its
// trouble to itself. A path the system knows whole already, on this
// machine's disk, is looked at on the caller's thread at once. Any thread;
// the path's bytes go to the system as they are.
//
// Throws read_interrupted when given up for a stop; everything else comes
// back in the facts.

#include "files/DTFileRefusal.h"

#include <sys/types.h>

#include <chrono>
#include <string>

namespace kestrel {

struct path_facts {
    // 0 when something stands there; else the errno of the look (ENOENT,
    // EACCES, ...; EBUSY while its file system's places for calls left
    // waiting are all taken; ETIMEDOUT past the patience), and why: a
    // refusal (earlier_calls_wait, does_not_answer, name_not_utf8) for
    // the caller to word, else the user's words ("not found", "a link to
    // nothing") with refusal none.
    int error = 0;
    std::string reason;
    file_refusal refusal = file_refusal::none;
    mode_t mode = 0; // its kind and permissions, as stat gives them
    dev_t device = 0;
    ino_t inode = 0;
    long long size = 0;
    // The effective user may read it, and enter it when it is a folder.
    bool readable = false;
    // The path with links, "." and ".." resolved, as the system tells it.
    std::string real_path;

    // Nothing was had, for `why`.
    void refuse(file_refusal why) {
        error = errno_of(why);
        reason = log_words(why);
        refusal = why;
    }
};

// Links on the way are followed, the last one too unless
// `follow_last_link` is false.
path_facts look_at_path(const std::string& path, bool follow_last_link = true,
                        std::chrono::steady_clock::duration patience = std::chrono::steady_clock::duration::zero());

// Why the path cannot be opened as a media file, by what it is: missing
// or not allowed (errors::file_access_reason, "a link to nothing"), not
// answering, irregular (irregular_file_reason); empty for a regular file.
// Looks without opening, as look_at_path.
std::string file_kind_reason(const std::string& path);

} // namespace kestrel
