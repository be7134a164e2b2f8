#pragma once
// Qt's own file dialog remembers the folder it last showed and its
// bookmarks in its settings (QtProject.conf, shared by the user's Qt
// programs) and looks at them as it is built, on its window's thread,
// before the folder it is given. In the file chooser (FileChooser.h) the
// dialog works on a private copy of those settings, made with the
// QtFileDialogMemory: the copy's last folder is the start folder the window
// chose, which answered, and the bookmarks that do not answer within a
// patience are left out of it. storeBack() writes what the dialog changed
// (made and gone by then) back into the user's settings, with no last
// folder (forget()) and the bookmarks left out back in their places
// (componentmodel/SettingsFiles.h). A chooser given up before that leaves
// the user's settings as they were. The private folder is the process's
// own (componentmodel/RunFolder.h). The chooser's GUI thread only; the
// process's user settings stay in the private folder from then on.

#include "componentmodel/RunFolder.h"
#include "componentmodel/SettingsFiles.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <utility>

class QFileDialog;

namespace Mvvm {

class QtFileDialogMemory {
public:
    // `start` answered; each bookmark is looked at for at most `patience`.
    QtFileDialogMemory(const QString& start, std::chrono::milliseconds patience);
    // The private copy goes with it.
    ~QtFileDialogMemory();
    QtFileDialogMemory(const QtFileDialogMemory&) = delete;
    QtFileDialogMemory& operator=(const QtFileDialogMemory&) = delete;

    void storeBack();
    // The private copy's file, the lock Qt takes to write it and, last,
    // their folder: what a chooser that ends without this object's end
    // removes. Empty when no copy could be made (the dialog then works on
    // the user's own settings).
    QStringList privatePaths() const;

    // Empties the memory of the last folder that `closed`, a dialog that
    // has closed, keeps: what it stores as it goes names none.
    static void forget(QFileDialog& closed);

private:
    QString usersFile_;
    ComponentModel::RunFolder private_;
    // The dialog's settings as the user's file held them.
    ComponentModel::SettingsValues before_;
    QList<std::pair<int, QString>> setAside_; // place in the list, address
};

} // namespace Mvvm
