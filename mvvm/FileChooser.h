#pragma once
// The file chooser: the program started again, in a process of its own, to
// show one file dialog for the window of a running one
// (FileChooserProcess.h). It reads the request from its command line,
// looks for the folder the dialog starts in (StartFolder.h), and answers on
// its standard output (FileChooserRequest.h) as the dialog closes, before
// its window leaves the screen: Qt's dialog may then wait for a listing on
// a share that hangs, which holds only this process. Every look at a file
// for a dialog is made here, never by the window. A dialog whose window
// another program destroys or takes off the screen closes as cancelled,
// and says it was lost. Shown while the user is in another program, the
// dialog leaves the keyboard there and asks for attention.
//
// It ends at once when its standard input closes (the window gave it up or
// ended): it first closes its connections, so that the window system takes
// its window off the screen even while one of its threads waits in the
// kernel for a share (which keeps the process until the share answers),
// and leaves the user's settings as they were (QtFileDialogMemory.h). What
// Qt says of the connections so closed is not said.
// Made for the program's entry, with the QApplication made; GUI thread.

#include <QStringList>

#include <functional>

class QFileDialog;

namespace Mvvm {

// The process's exit status: 0, or 64 when `arguments` (those after the
// chooser's option) make no request. `whenShown` (a test's hands) runs once
// the dialog shows.
int runFileChooser(const QStringList& arguments, const std::function<void(QFileDialog&)>& whenShown = {});

// Why a chosen file or folder whose name is not UTF-8 text cannot be had,
// in the program's words: Qt's dialog reads such a name with replacement
// characters, a name no file has, and would say it is not found. The
// dialog says this instead and stays.
void setNotUtf8NameReason(const QString& reason);

// What the dialog says under the folder it shows about the files there it
// cannot list (names that are not UTF-8 text), given the folder and the
// name filters it shows by ("*.jpg"); empty for none. Called as the dialog
// shows a folder, on the chooser's thread, which it may hold for its
// patience.
using UnlistedNamesNote = std::function<QString(const QString& folder, const QStringList& patterns)>;
void setUnlistedNamesNote(UnlistedNamesNote note);

} // namespace Mvvm
