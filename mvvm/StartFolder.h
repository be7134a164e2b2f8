#pragma once
// The folders of a file dialog, looked at with patience
// (componentmodel/PatientLook.h): where it starts, and what it remembers.
// In the file chooser, whose thread may wait for them; any thread.

#include <QString>
#include <QStringList>

namespace Mvvm {

// The first of `candidates` (or, when one is gone or was never made, as
// the movies folder of a fresh account, its nearest existing parent: the
// dialog would show a missing folder's name as a file name) whose listing
// answers within a tenth of a second: the dialog lists the folder it starts
// in first thing, and a folder whose look-ups answer may still hang its
// listing. The root folder when none does.
QString startFolder(const QStringList& candidates);

// The folder to remember of a dialog's first chosen path: `chosen` itself
// when it is a folder chosen, else its folder (a file the save dialog names
// may not exist yet: its folder does); canonical, or as it is when its real
// path does not answer within a tenth of a second.
QString folderToRemember(const QString& chosen, bool chosenIsFolder);

} // namespace Mvvm
