// The file dialogs and the message box of Mvvm::Dialog.

#include "mvvm/Dialog.h"

#include "mvvm/DialogState.h"
#include "mvvm/ScreenBoundedMessageBox.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace Mvvm {

namespace {

// The folder given, else the one remembered; when it is gone (or was never
// made, as the movies folder of a fresh account), its nearest existing
// parent: the dialog would show a missing folder's name as a file name.
QString startFolder(const QString& directory, const QString& remembered)
{
    const QString wanted = directory.isEmpty() ? remembered : directory;
    QFileInfo folder(wanted);
    if (wanted.isEmpty() || folder.isDir())
        return wanted;
    while (!folder.isDir()) {
        const QString parent = folder.absolutePath();
        if (parent == folder.absoluteFilePath())
            return QString();
        folder.setFile(parent);
    }
    return folder.absoluteFilePath();
}

QString titleOr(const QString& caption)
{
    return caption.isEmpty() ? QCoreApplication::applicationName() : caption;
}

// The canonical folder of a chosen file. A file the save dialog names may
// not exist yet: its folder does.
QString canonicalFolderOf(const QString& file)
{
    const QString folder = QFileInfo(file).absolutePath();
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? folder : canonical;
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
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        state.dirDialogDirectory = canonical.isEmpty() ? folder : canonical;
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
