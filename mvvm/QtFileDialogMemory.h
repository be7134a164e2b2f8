#pragma once
// Qt's own file dialog remembers the folder it last showed, in the process
// and in its settings (QtProject.conf, shared by the user's Qt programs),
// and goes there as it is built, on the window's thread, before the folder
// it is given: a folder on a share that has since hung would freeze the
// window there. Before a dialog is built its stored memory is pointed at
// the folder the program chose, which was looked at patiently; once it has
// closed, the process's memory is emptied, so that Qt has nothing of its own
// to go to. GUI thread only.

class QFileDialog;
class QString;

namespace Mvvm {

// Qt's stored memory is `folder`, one that answered.
void rememberInQt(const QString& folder);

// Empties the process's memory, which `closed`, a dialog that has
// closed, set; its stored memory is then emptied when it goes.
void forgetInQt(QFileDialog& closed);

} // namespace Mvvm
