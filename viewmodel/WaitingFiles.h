#pragma once
// Files that keep the window waiting (on a share that hangs, or under
// another program's lease): how long the window waits before it goes on
// without one, and the one line that names them, "Waiting for "x.jpg": it
// does not answer." with ", and for N more." when several wait. The
// photos, the music and the conversion's progress all say it so. GUI
// thread; throws nothing.

#include "files/DTFileRefusal.h"

#include <QString>

#include <chrono>

namespace ViewModel {

// How long a photo or the music may take to open before the window goes on
// without it: it then waits without holding Make or Preview back. Only a
// file its file system keeps waiting (keptWaiting) waits so: one slowed by
// a busy machine goes on opening.
inline constexpr std::chrono::seconds openPatience(3);
// How often a file past its patience that its file system has not yet kept
// waiting is looked at again.
inline constexpr std::chrono::milliseconds patienceLookAgain(250);

// How long one look at what stands at a path may take (off the window's
// thread); past it the path is taken as one that does not answer. Below
// the 2 s after which the library lists a wait, so a look is never listed.
inline constexpr std::chrono::milliseconds lookPatience(1500);

// How long a file that does not answer waits before it is asked again: its
// opening costs a worker only while the share may have come back.
inline constexpr std::chrono::seconds askAgainAfter(5);

// Whether a file refused so may answer later (past the patience, or
// refused while earlier requests there still wait): it waits, and is asked
// again now and then.
bool doesNotAnswer(kestrel::file_refusal refusal);

// Why the process waits for the file at `path`, as the library lists its
// long waits ("another program holds a lease on it"); "it does not
// answer" when none is listed for it.
QString whyWaitingFor(const QString& path);
// Whether the library lists a long wait on the file at `path`: its file
// system has kept a request for it waiting (files/DTLongWaits.h).
bool keptWaiting(const QString& path);

// The line for `shown` (a file name or a path, as the place has room for)
// waited for because `why`, and `more` other files.
QString waitingMessage(const QString& shown, const QString& why, int more);

} // namespace ViewModel
