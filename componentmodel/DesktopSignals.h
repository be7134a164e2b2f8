#pragma once
// The signals a program starts with when the desktop starts it: each with
// its default action, none blocked. The program blocks the session's end
// signals in every thread (a thread of its own takes them) and a thread
// may block or ignore others; what it starts inherits that through its
// exec and would outlive the session's end. Every way the program starts
// another program gives it this state instead: a child between its fork
// and its exec calls takeDesktopSignals (from a fork's handler, or Qt's
// hook for a QProcess's child), a posix_spawn is asked for it.

#include <spawn.h>

namespace ComponentModel {

// In a child before its exec: each signal ignored gets its default action
// back (a handled one gets it from the exec) and none stays blocked. Makes
// only the calls a child of a threaded process may make there.
void takeDesktopSignals();

// The same for the program that posix_spawn starts with `attributes`.
void askDesktopSignals(posix_spawnattr_t& attributes);

} // namespace ComponentModel
