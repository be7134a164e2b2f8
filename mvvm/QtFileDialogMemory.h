#pragma once
// Qt's own file dialog remembers the folder it last showed, in the process
// and in its settings (QtProject.conf, shared by the user's Qt programs),
// and its bookmarks there, and looks at them as it is built, on the
// window's thread, before the folder it is given: one on a share that has
// since hung would freeze the window there. While a QtFileDialogMemory
// lives, Qt's stored folder is the one the program chose, which answered,
// and the bookmarks that do not answer within a patience are set aside,
// each put back in its place once the dialog (made and gone within the
// memory's life) has stored its own; forget() empties the process's memory
// once the dialog has closed, so that Qt has nothing of its own to go to.
// GUI thread only.

#include <QList>
#include <QString>

#include <chrono>
#include <utility>

class QFileDialog;

namespace Mvvm {

class QtFileDialogMemory {
public:
    // `start` answered; each bookmark is looked at for at most `patience`.
    QtFileDialogMemory(const QString& start, std::chrono::milliseconds patience);
    ~QtFileDialogMemory();
    QtFileDialogMemory(const QtFileDialogMemory&) = delete;
    QtFileDialogMemory& operator=(const QtFileDialogMemory&) = delete;

    // Empties the process's memory, which `closed`, a dialog that has
    // closed, set; its stored folder is then emptied when it goes.
    static void forget(QFileDialog& closed);

private:
    QList<std::pair<int, QString>> setAside_; // place in the list, address
};

} // namespace Mvvm
