// The file dialogs and the message box of Mvvm::Dialog.

#include "mvvm/Dialog.h"

#include "mvvm/DialogState.h"
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
const std::chrono::milliseconds folderPatience(250);

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

// The folder given, else the one remembered, as nearestFolder() finds it;
// when that does not answer in time (a share that hangs), the home folder
// if it answers, else the root: the dialog opens at once, in a folder that
// answered, and never looks at the one that did not.
QString startFolder(const QString& directory, const QString& remembered)
{
    const QString wanted = directory.isEmpty() ? remembered : directory;
    if (wanted.isEmpty())
        return wanted;
    for (const QString& candidate : {wanted, QDir::homePath()}) {
        const auto found = ComponentModel::lookWithin(folderPatience, [candidate] { return nearestFolder(candidate); });
        if (found)
            return *found;
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
    const QString start = startFolder(directory, state.openDialogDirectory);
    QStringList files;
    if (singleSelect) {
        const QString file = QFileDialog::getOpenFileName(QApplication::activeWindow(), titleOr(caption), start,
                                                          filters);
        if (!file.isEmpty())
            files << file;
    } else {
        files = QFileDialog::getOpenFileNames(QApplication::activeWindow(), titleOr(caption), start, filters);
    }
    if (!files.isEmpty()) {
        state.openDialogDirectory = canonicalFolderOf(files.first());
        saveDialogSettings();
    }
    return files;
}

QString Dialog::showSaveDialog(const QString& filters, const QString& directory, const QString& caption)
{
    DialogState& state = dialogState();
    const QString file = QFileDialog::getSaveFileName(QApplication::activeWindow(), titleOr(caption),
                                                      startFolder(directory, state.saveDialogDirectory), filters);
    if (!file.isEmpty()) {
        state.saveDialogDirectory = canonicalFolderOf(file);
        saveDialogSettings();
    }
    return file;
}

QString Dialog::showDirectoryDialog(const QString& directory, const QString& caption)
{
    DialogState& state = dialogState();
    const QString folder =
        QFileDialog::getExistingDirectory(QApplication::activeWindow(), titleOr(caption),
                                          startFolder(directory, state.dirDialogDirectory),
                                          QFileDialog::ShowDirsOnly);
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
