// The file dialogs and the message box of Mvvm::Dialog.

#include "mvvm/Dialog.h"

#include "mvvm/DialogState.h"
#include "mvvm/QtFileDialogMemory.h"
#include "mvvm/ScreenBoundedMessageBox.h"

#include "componentmodel/PatientLook.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace Mvvm {

namespace {

// How long the window's thread waits for a look at a folder the dialog
// starts in or remembers: a disk answers far sooner, a share that hangs
// never.
const std::chrono::milliseconds folderPatience(100);

// `wanted` when it is a folder; when it is gone (or was never made, as the
// movies folder of a fresh account), its nearest existing parent: the
// dialog would show a missing folder's name as a file name. Empty when
// nothing of it exists.
QString nearestFolder(const QString& wanted)
{
    QFileInfo folder(wanted);
    if (folder.isDir())
        return wanted;
    while (!folder.isDir()) {
        const QString parent = folder.absolutePath();
        if (parent == folder.absoluteFilePath())
            return QString();
        folder.setFile(parent);
    }
    return folder.absoluteFilePath();
}

// The folder given, else the one remembered, else the home folder, as
// nearestFolder() finds it; when that does not answer in time (a share that
// hangs), the home folder if it answers, else the root: the dialog opens at
// once, in a folder that answered, and never looks at one that did not.
QString startFolder(const QString& directory, const QString& remembered)
{
    QStringList candidates;
    const QString wanted = directory.isEmpty() ? remembered : directory;
    if (!wanted.isEmpty())
        candidates << wanted;
    candidates << QDir::homePath();
    for (const QString& candidate : candidates) {
        const auto found = ComponentModel::lookWithin(folderPatience, [candidate] { return nearestFolder(candidate); });
        if (found && !found->isEmpty())
            return *found;
        if (!found)
            qWarning().noquote() << "[Dialog] the folder does not answer:" << candidate;
    }
    return QDir::rootPath();
}

// The canonical path of `folder`, or `folder` as it is when it does not
// answer in time.
QString canonicalOrAsIs(const QString& folder)
{
    const auto canonical =
        ComponentModel::lookWithin(folderPatience, [folder] { return QFileInfo(folder).canonicalFilePath(); });
    return canonical && !canonical->isEmpty() ? *canonical : folder;
}

QString titleOr(const QString& caption)
{
    return caption.isEmpty() ? QCoreApplication::applicationName() : caption;
}

// The canonical folder of a chosen file. A file the save dialog names may
// not exist yet: its folder does.
QString canonicalFolderOf(const QString& file) { return canonicalOrAsIs(QFileInfo(file).absolutePath()); }

// Runs Qt's own file dialog in `start`, a folder that answered, with Qt's
// memory of its own last folder pointed there first and emptied after, and
// its bookmarks that do not answer set aside meanwhile: what was chosen,
// nothing when it was cancelled.
QStringList runFileDialog(const QString& caption, const QString& start, const QString& filters,
                          QFileDialog::FileMode mode, QFileDialog::AcceptMode acceptMode,
                          QFileDialog::Options options = {})
{
    const QtFileDialogMemory memory(start, folderPatience);
    QFileDialog dialog(QApplication::activeWindow(), titleOr(caption), start, filters);
    dialog.setFileMode(mode);
    dialog.setAcceptMode(acceptMode);
    dialog.setOptions(options);
    const QStringList chosen = dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
    QtFileDialogMemory::forget(dialog);
    return chosen;
}

QMessageBox::Icon messageIcon(int icon)
{
    return icon >= Dialog::NoIcon && icon <= Dialog::QuestionIcon ? static_cast<QMessageBox::Icon>(icon)
                                                                   : QMessageBox::NoIcon;
}

} // namespace

QStringList Dialog::showOpenDialog(bool singleSelect, const QString& filters, const QString& directory,
                                   const QString& caption)
{
    DialogState& state = dialogState();
    const QStringList files =
        runFileDialog(caption, startFolder(directory, state.openDialogDirectory), filters,
                      singleSelect ? QFileDialog::ExistingFile : QFileDialog::ExistingFiles, QFileDialog::AcceptOpen);
    if (!files.isEmpty()) {
        state.openDialogDirectory = canonicalFolderOf(files.first());
        saveDialogSettings();
    }
    return files;
}

QString Dialog::showSaveDialog(const QString& filters, const QString& directory, const QString& caption)
{
    DialogState& state = dialogState();
    const QString file = runFileDialog(caption, startFolder(directory, state.saveDialogDirectory), filters,
                                       QFileDialog::AnyFile, QFileDialog::AcceptSave)
                             .value(0);
    if (!file.isEmpty()) {
        state.saveDialogDirectory = canonicalFolderOf(file);
        saveDialogSettings();
    }
    return file;
}

QString Dialog::showDirectoryDialog(const QString& directory, const QString& caption)
{
    DialogState& state = dialogState();
    const QString folder = runFileDialog(caption, startFolder(directory, state.dirDialogDirectory), QString(),
                                         QFileDialog::Directory, QFileDialog::AcceptOpen, QFileDialog::ShowDirsOnly)
                               .value(0);
    if (!folder.isEmpty()) {
        state.dirDialogDirectory = canonicalOrAsIs(folder);
        saveDialogSettings();
    }
    return folder;
}

int Dialog::showMessageDialog(const QString& text, int icon, const QString& caption, const QStringList& buttons,
                              int defaultIndex, int format, int escapeIndex)
{
    ScreenBoundedMessageBox box(messageIcon(icon), titleOr(caption), text, QApplication::activeWindow(),
                                Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    if (format == PlainText)
        box.setTextFormat(Qt::PlainText);
    // The box picks its escape button by role: the one button, or the one
    // rejecting button, so the default is the only accepting one.
    QList<QPushButton*> pushButtons;
    for (int i = 0; i < buttons.size(); ++i) {
        pushButtons << box.addButton(buttons.at(i),
                                     i == defaultIndex ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
    }
    if (defaultIndex >= 0 && defaultIndex < pushButtons.size())
        box.setDefaultButton(pushButtons.at(defaultIndex));
    if (escapeIndex >= 0 && escapeIndex < pushButtons.size())
        box.setEscapeButton(pushButtons.at(escapeIndex));
    box.exec();
    return pushButtons.indexOf(qobject_cast<QPushButton*>(box.clickedButton()));
}

} // namespace Mvvm
