#pragma once
// Programs started from a process of their own, the launcher, made once,
// before the program holds files that may not answer. A program started
// from the program itself would get, for an instant, copies of every file
// the program holds, and its start closes those copies: a close on a share
// that hangs waits for the share (a file left open there, a video being
// written), and the start with it. The launcher holds none of them. The
// program never waits for it: a request is handed over at once, and the
// launcher's answer is taken by whoever needs it, with a bound (a launcher
// that does not answer may be starting a program whose own file lies on a
// share that hangs). A launcher that has ended, or has no room for a
// request, is given up and the next start makes a new one.
//
// The launcher is a program (this one, say) started with launcherOption,
// whose main runs runProgramLauncher(); it ends once the program has
// closed its end of their socket, by ending or giving it up. A started
// program gets its standard input and output from the starter, its
// standard error and environment (the starter's at the start) as a new
// program would, every signal with its default action.
// Any thread; starts are made one at a time.

#include <QString>
#include <QStringList>

#include <optional>

namespace ComponentModel {

extern const char* const launcherOption;

// A program handed to the launcher: descriptors owned by whoever holds
// them, close-on-exec.
struct LaunchedProgram {
    int answer; // where the launcher answers (startedProcess())
    int input;  // its standard input
    int output; // its standard output, not blocking
};

// Hands the start of `program` with `arguments` (after its name) to the
// launcher, `launcher` started first when none runs; nothing and why
// (`error`) when it cannot.
std::optional<LaunchedProgram> launch(const QString& launcher, const QString& program, const QStringList& arguments,
                                      QString* error);

// The started process, as a pidfd (readable once it has ended; signals
// reach it alone), from the launcher's `answer` within `ms`; -1 when the
// launcher could not start it or has not said within `ms`.
int startedProcess(int answer, int ms);

// Starts the launcher `launcher` now when none runs; false when it cannot.
bool startLauncher(const QString& launcher);

// The launcher's work, in its own process, over the socket it was given
// as descriptor 3: its exit status.
int runProgramLauncher();

} // namespace ComponentModel
