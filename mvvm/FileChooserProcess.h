#pragma once
// The window's side of a file dialog shown by the file chooser, the program
// started again in a process of its own (FileChooser.h): whatever the
// dialog meets (a share that hangs under a typed path, a bookmark, a folder
// clicked into, a listing its close waits for), it holds that process, not
// the window.
//
// The window waits without being held: a modal stand-in that never shows
// keeps the program's windows from input, as the dialog would, while the
// window's thread runs its events, and the dialog's window is made the
// window's own (transient for it) where the window system allows. The wait
// ends as the dialog's window leaves the screen (its answer was said
// before), so that the next key reaches the window.
//
// The window asks the chooser about ten times a second whether its
// window's thread turns. A chooser is judged by what it does, not by the
// clock of a machine that may be too busy to run it: one that leaves an
// ask unanswered while it does not run either (it waits in the kernel for
// a share, or was stopped) for a few seconds of the window's turns (more
// before its dialog shows) is given up: the wait ends and the process is
// left to end by itself (componentmodel/UnwaitedProcess.h), its window
// taken off the screen. So is a chooser whose wait the program's end ends
// (every event loop ended). GUI thread only.

#include "mvvm/FileChooserRequest.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace Mvvm {

struct FileChooserOutcome {
    enum End {
        Answered,         // chosen holds the files, empty when cancelled
        StoppedAnswering, // given up
        Lost,             // another program took its window away: nothing chosen
        Failed,           // not started (failure says why), or ended without an answer
        WaitEnded         // the program ends
    };
    End end = WaitEnded;
    QStringList chosen;
    QString folder; // to remember, when a file or folder was chosen
    QString failure;
    quint32 dialogWindow = 0; // the dialog's own window (X11), once it showed
};

// Shows the dialog of `request` over `window` (may be null) and waits for
// its answer; the request's transientFor is set here.
FileChooserOutcome chooseInProcessOfItsOwn(FileChooserRequest request, QWidget* window);

// The program started as the chooser, and as the launcher it is started
// from (componentmodel/ProgramLauncher.h): this very program unless set (a
// test's chooser); an empty one brings this program back.
void setFileChooserProgram(const QString& program);

// Starts the launcher now, before the program holds files that may not
// answer (else the first dialog starts it); false when it cannot.
bool prepareFileChoosers();

} // namespace Mvvm
