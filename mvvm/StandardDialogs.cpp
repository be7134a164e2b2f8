// The file dialogs and the message box of Mvvm::Dialog.

#include "mvvm/Dialog.h"

#include "mvvm/DialogState.h"
#include "mvvm/FileChooserProcess.h"
#include "mvvm/ScreenBoundedMessageBox.h"

#include "componentmodel/PatientLook.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <dirent.h>

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

// nearestFolder(), once its listing has answered: the dialog lists the
// folder it starts in first thing, and a folder whose look-ups answer may
// still hang its listing.
QString listedNearestFolder(const QString& wanted)
{
    const QString folder = nearestFolder(wanted);
    if (DIR* listing = folder.isEmpty() ? nullptr : ::opendir(QFile::encodeName(folder).constData())) {
        ::readdir(listing);
        ::closedir(listing);
    }
    return folder;
}

// The folder given, else the one remembered, else the home folder, as
// listedNearestFolder() finds it; when that does not answer in time (a
// share that hangs), the home folder if it answers, else the root: the
// dialog opens at once, in a folder that answered, and never looks at one
// that did not.
QString startFolder(const QString& directory, const QString& remembered)
{
    QStringList candidates;
    const QString wanted = directory.isEmpty() ? remembered : directory;
    if (!wanted.isEmpty())
        candidates << wanted;
    candidates << QDir::homePath();
    for (const QString& candidate : candidates) {
        const auto found =
            ComponentModel::lookWithin(candidate, folderPatience, [candidate] { return listedNearestFolder(candidate); });
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
    const auto canonical = ComponentModel::lookWithin(folder, folderPatience,
                                                      [folder] { return QFileInfo(folder).canonicalFilePath(); });
    return canonical && !canonical->isEmpty() ? *canonical : folder;
}

QString titleOr(const QString& caption)
{
    return caption.isEmpty() ? QCoreApplication::applicationName() : caption;
}

// The canonical folder of a chosen file. A file the save dialog names may
// not exist yet: its folder does.
QString canonicalFolderOf(const QString& file) { return canonicalOrAsIs(QFileInfo(file).absolutePath()); }

// Shows Qt's file dialog in the file chooser, started in `start`, a folder
// that answered: what was chosen, nothing when it was cancelled. A chooser
// given up or not shown is told in a message of `host`.
QStringList runFileDialog(Dialog& host, const QString& caption, const QString& start, const QString& filters,
                          FileChooserRequest::Mode mode)
{
    FileChooserRequest request;
    request.mode = mode;
    request.title = titleOr(caption);
    request.startFolder = start;
    request.filters = filters;
    const FileChooserOutcome outcome = chooseInProcessOfItsOwn(request, QApplication::activeWindow());
    switch (outcome.end) {
    case FileChooserOutcome::Answered:
        return outcome.chosen;
    case FileChooserOutcome::StoppedAnswering:
        host.showMessageDialog(Dialog::tr("The file dialog stopped answering, so it was closed: a folder it showed "
                                          "does not answer. Try again once it answers, or choose another."),
                               Dialog::WarningIcon, QString(), QStringList(), -1, Dialog::PlainText);
        break;
    case FileChooserOutcome::Failed:
        qWarning().noquote() << "[Dialog] the file dialog could not be shown:" << outcome.failure;
        host.showMessageDialog(outcome.failure.isEmpty()
                                   ? Dialog::tr("The file dialog ended without an answer.")
                                   : Dialog::tr("The file dialog could not be shown: %1").arg(outcome.failure),
                               Dialog::WarningIcon, QString(), QStringList(), -1, Dialog::PlainText);
        break;
    case FileChooserOutcome::WaitEnded:
        break;
    }
    return QStringList();
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
        runFileDialog(*this, caption, startFolder(directory, state.openDialogDirectory), filters,
                      singleSelect ? FileChooserRequest::OpenOne : FileChooserRequest::OpenMany);
    if (!files.isEmpty()) {
        state.openDialogDirectory = canonicalFolderOf(files.first());
        saveDialogSettings();
    }
    return files;
}

QString Dialog::showSaveDialog(const QString& filters, const QString& directory, const QString& caption)
{
    DialogState& state = dialogState();
    const QString file =
        runFileDialog(*this, caption, startFolder(directory, state.saveDialogDirectory), filters, FileChooserRequest::Save)
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
    const QString folder =
        runFileDialog(*this, caption, startFolder(directory, state.dirDialogDirectory), QString(), FileChooserRequest::Folder)
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
