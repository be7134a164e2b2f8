// The file dialogs and the message box of Mvvm::Dialog.

#include "mvvm/Dialog.h"

#include "mvvm/DialogState.h"
#include "mvvm/EarlyCloseGuard.h"
#include "mvvm/FileChooserProcess.h"
#include "mvvm/ForeignDialogKeeper.h"
#include "mvvm/KeyboardElsewhere.h"
#include "mvvm/ScreenBoundedMessageBox.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QQuickItem>
#include <QQuickRenderControl>
#include <QQuickWindow>

namespace Mvvm {

namespace {

// Where a dialog may start: the folder given, else the one remembered, then
// the home folder. The file chooser takes the first that answers.
QStringList startCandidates(const QString& directory, const QString& remembered)
{
    QStringList candidates;
    const QString wanted = directory.isEmpty() ? remembered : directory;
    if (!wanted.isEmpty())
        candidates << wanted;
    return candidates << QDir::homePath();
}

// The window that opens the dialogs of `dialog`: the window of the view
// it is declared in, active or not (the window system may not have told
// it so yet); else the active window.
QWidget* openingWindow(const QObject& dialog)
{
    for (const QObject* object = dialog.parent(); object; object = object->parent()) {
        if (const auto* widget = qobject_cast<const QWidget*>(object))
            return widget->window();
        const auto* item = qobject_cast<const QQuickItem*>(object);
        if (!item || !item->window())
            continue;
        // A view in a QQuickWidget is drawn off the screen, for the
        // widget's window.
        QWindow* shown = QQuickRenderControl::renderWindowFor(item->window());
        if (!shown)
            shown = item->window();
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->windowHandle() == shown)
                return window;
        }
    }
    return QApplication::activeWindow();
}

QString titleOr(const QString& caption)
{
    return caption.isEmpty() ? QCoreApplication::applicationName() : caption;
}

QMessageBox::Icon messageIcon(int icon)
{
    return icon >= Dialog::NoIcon && icon <= Dialog::QuestionIcon ? static_cast<QMessageBox::Icon>(icon)
                                                                   : QMessageBox::NoIcon;
}

// The message box of showMessageDialog over `window`; `alsoOurs` a window
// of another process that counts as the program's (a file dialog's).
int showBox(QWidget* window, std::uint32_t alsoOurs, const QString& text, int icon, const QString& caption,
            const QStringList& buttons, int defaultIndex, int format, int escapeIndex)
{
    ScreenBoundedMessageBox box(messageIcon(icon), titleOr(caption), text, window,
                                Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    if (format == Dialog::PlainText)
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
    const QPointer<QWidget> owner(window);
    waitForTheUserIfElsewhere(window, alsoOurs);
    {
        const EarlyCloseGuard unseen(box);
        box.exec();
    }
    ForeignDialogKeeper::giveActivationBack(owner);
    return pushButtons.indexOf(qobject_cast<QPushButton*>(box.clickedButton()));
}

void warn(QWidget* window, std::uint32_t alsoOurs, const QString& text)
{
    showBox(window, alsoOurs, text, Dialog::WarningIcon, QString(), QStringList(), -1, Dialog::PlainText, -1);
}

// Shows Qt's file dialog in the file chooser, which looks at the folders
// for it: what was chosen (nothing when it was cancelled) and the folder to
// remember. A chooser given up, not shown or whose dialog was taken away
// is told in a message over the window it was for.
FileChooserOutcome runFileDialog(Dialog& host, const QString& caption, const QStringList& startFolders,
                                 const QString& filters, FileChooserRequest::Mode mode)
{
    FileChooserRequest request;
    request.mode = mode;
    // Untitled, Qt's dialog names what it does ("Open", "Save As").
    request.title = caption;
    request.filters = filters;
    request.startFolders = startFolders;
    QWidget* const window = openingWindow(host);
    const QPointer<QWidget> owner(window);
    const FileChooserOutcome outcome = chooseInProcessOfItsOwn(request, window);
    switch (outcome.end) {
    case FileChooserOutcome::Answered:
    case FileChooserOutcome::WaitEnded:
        break;
    case FileChooserOutcome::StoppedAnswering:
        // Nothing tells here what held it (a folder on a share that hangs,
        // or the process stopped): no folder is named.
        warn(owner, outcome.dialogWindow,
             Dialog::tr("The file dialog stopped answering, so it was closed. Try again."));
        break;
    case FileChooserOutcome::Lost:
        warn(owner, outcome.dialogWindow,
             Dialog::tr("Another program closed the file dialog, so nothing was chosen. Try again."));
        break;
    case FileChooserOutcome::Failed:
        // A chooser that ended with no word of why (killed, say) may well
        // have shown its dialog.
        if (outcome.failure.isEmpty())
            qWarning() << "[Dialog] the file dialog's process ended without an answer";
        else
            qWarning().noquote() << "[Dialog] the file dialog could not be shown:" << outcome.failure;
        warn(owner, outcome.dialogWindow,
             outcome.failure.isEmpty() ? Dialog::tr("The file dialog ended without an answer.")
                                       : Dialog::tr("The file dialog could not be shown: %1").arg(outcome.failure));
        break;
    }
    return outcome;
}

// Keeps the folder an answer names for the next dialog of its kind.
void remember(QString& folder, const FileChooserOutcome& outcome)
{
    if (outcome.chosen.isEmpty() || outcome.folder.isEmpty())
        return;
    folder = outcome.folder;
    saveDialogSettings();
}

} // namespace

QStringList Dialog::showOpenDialog(bool singleSelect, const QString& filters, const QString& directory,
                                   const QString& caption)
{
    DialogState& state = dialogState();
    const FileChooserOutcome outcome =
        runFileDialog(*this, caption, startCandidates(directory, state.openDialogDirectory), filters,
                      singleSelect ? FileChooserRequest::OpenOne : FileChooserRequest::OpenMany);
    remember(state.openDialogDirectory, outcome);
    return outcome.chosen;
}

QString Dialog::showSaveDialog(const QString& filters, const QString& directory, const QString& caption)
{
    DialogState& state = dialogState();
    const FileChooserOutcome outcome = runFileDialog(
        *this, caption, startCandidates(directory, state.saveDialogDirectory), filters, FileChooserRequest::Save);
    remember(state.saveDialogDirectory, outcome);
    return outcome.chosen.value(0);
}

QString Dialog::showDirectoryDialog(const QString& directory, const QString& caption)
{
    DialogState& state = dialogState();
    const FileChooserOutcome outcome = runFileDialog(
        *this, caption, startCandidates(directory, state.dirDialogDirectory), QString(), FileChooserRequest::Folder);
    remember(state.dirDialogDirectory, outcome);
    return outcome.chosen.value(0);
}

int Dialog::showMessageDialog(const QString& text, int icon, const QString& caption, const QStringList& buttons,
                              int defaultIndex, int format, int escapeIndex)
{
    QWidget* window = openingWindow(*this);
    // A view's window that has gone from the screen holds no box.
    if (window && !window->isVisible())
        window = QApplication::activeWindow();
    return showBox(window, 0, text, icon, caption, buttons, defaultIndex, format, escapeIndex);
}

} // namespace Mvvm
