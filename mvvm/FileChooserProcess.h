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
// window's own (transient for it) where the window system allows. A
// chooser that stops answering (no word for a few seconds once shown, or
// not shown at all within a bound) is given up: the wait ends and the
// process is left to end by itself (componentmodel/UnwaitedProcess.h), its
// window taken off the screen. So is a chooser whose wait the program's
// end ends (every event loop ended). GUI thread only.

#include "mvvm/FileChooserRequest.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace Mvvm {

struct FileChooserOutcome {
    enum End {
        Answered,         // chosen holds the files, empty when cancelled
        StoppedAnswering, // given up
        Failed,           // not started (failure says why), or ended without an answer
        WaitEnded         // the program ends
    };
    End end = WaitEnded;
    QStringList chosen;
    QString folder; // to remember, when a file or folder was chosen
    QString failure;
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
