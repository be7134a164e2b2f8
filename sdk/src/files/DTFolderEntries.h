#pragma once
// What a folder holds, as the system names it, and why a path met there (or
// chosen) cannot be taken, in the words the user is told. Names are bytes as
// they are: a name that is not UTF-8 text is listed as it is, where a
// decoding would turn it into another name that names no file. Any thread;
// looks without opening a file. Within a read_interruption_scope, or with
// a patience, the looks are calls a stop (or the patience running out)
// gives up (files/DTPathFacts.h): they throw read_interrupted for a stop.

#include "files/DTFileRefusal.h"

#include <chrono>
#include <string>
#include <vector>

namespace kestrel {

struct path_facts;

// The names in the folder, in the system's listing order, without "." and
// "..", and without hidden entries (a leading dot) when `hidden` is false.
// 0, or the errno of the failed listing (nothing is kept then), with
// `refusal` (when not null) set where it was refused: does_not_answer
// (ETIMEDOUT) past the patience, earlier_calls_wait (EBUSY) while the
// folder's file system has calls left waiting in all its places.
int list_folder(const std::string& folder, std::vector<std::string>& names, bool hidden = false,
                std::chrono::steady_clock::duration patience = std::chrono::steady_clock::duration::zero(),
                file_refusal* refusal = nullptr);

// Why the path cannot be taken as a file or folder to read: the log words
// of name_not_utf8 (files/DTFileRefusal.h), "a link to nothing", "not found", "no
// permission to read it" (a file or folder the user may not read, or a
// folder on the way that may not be entered), or what else it is ("not a
// regular file: a named pipe"), "does not answer" (past the patience);
// empty for a readable file or folder.
std::string unusable_path_reason(const std::string& path,
                                 std::chrono::steady_clock::duration patience = std::chrono::steady_clock::duration::zero());
// The same for what a look at the path found (its name taken as UTF-8
// text), for a caller that needs more of the facts than the reason.
std::string unusable_path_reason(const path_facts& facts);

} // namespace kestrel
