// The file chooser as the tests start it: the program's own
// (app/HelperStart.h), with a test's hands on its dialog. The hands
// take the steps of LUMIVISTA_TEST_CHOOSER_STEPS, one a line, once the
// dialog shows, as a user would:
//   type <text>    types the text into the name box, key by key (Qt
//                  completes a path as it is typed)
//   name <text>    puts the text into the name box, as a paste would
//   accept         presses the accepting button (Open, Save, Choose)
//   cancel         presses Cancel
//   escape         presses Escape
//   unmap          takes the dialog's window off the screen, the dialog
//                  still open: the window system has it gone before the
//                  chooser's answer
//   folder <path>  goes to that folder, as its "Look in" box does
//   listed <name>  waits until the list shows that entry
//   enter <name>   once listed, double-clicks that entry (a click into a
//                  folder)
//   await <file>   waits until that file exists: the test's cue
//   wait <ms>      lets the dialog run that long
//   busy <ms>      keeps the dialog's thread working that long, as a
//                  machine too busy to run it soon would
// and write what they see, a line each, into the file named by
// LUMIVISTA_TEST_CHOOSER_NOTES: "pid <n>" as the chooser starts, then
// "shown <folder>", "mode <QFileDialog::FileMode>", "title <title>",
// "name <name box>", "bookmarks <its sidebar's addresses>" and
// "transient <window id, 0 for none>", "window <its own window id>" and
// "unlisted <the note on files it cannot list, its lines joined by |>" once
// it shows, "listed <name>" for each entry waited for, "ended" once the dialog has gone,
// and "said <line>" for each line of Qt's log it writes. A wait that is
// not met within 20 s cancels the dialog. Started as the launcher, it is
// the program's launcher.

#include "app/HelperStart.h"
#include "componentmodel/ProgramLauncher.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <QtGui/qguiapplication_platform.h>

#include <unistd.h>
#include <xcb/xcb.h>

#include <cstring>

namespace {

const qint64 cueBound = 20000;

void note(const QString& line)
{
    QFile notes(qEnvironmentVariable("LUMIVISTA_TEST_CHOOSER_NOTES"));
    if (notes.fileName().isEmpty() || !notes.open(QIODevice::Append))
        return;
    notes.write(line.toUtf8() + '\n');
}

QLineEdit* nameBox(QFileDialog& dialog) { return dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

QListView* list(QFileDialog& dialog) { return dialog.findChild<QListView*>(QStringLiteral("listView")); }

// The list's entry of that name in the folder shown; invalid until listed.
QModelIndex entry(QFileDialog& dialog, const QString& name)
{
    QListView* view = list(dialog);
    if (!view)
        return QModelIndex();
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < view->model()->rowCount(root); ++row) {
        const QModelIndex index = view->model()->index(row, 0, root);
        if (index.data().toString() == name)
            return index;
    }
    return QModelIndex();
}

void typeInto(QWidget* box, const QString& text)
{
    box->setFocus();
    for (const QChar character : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
        QApplication::sendEvent(box, &press);
    }
}

void pressEscape(QFileDialog& dialog)
{
    QWidget* focus = dialog.focusWidget() ? dialog.focusWidget() : &dialog;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(focus, &press);
}

// Behind Qt's back: for Qt the dialog still shows, and closes as asked.
void unmap(QFileDialog& dialog)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return;
    xcb_unmap_window(x11->connection(), xcb_window_t(dialog.winId()));
    xcb_flush(x11->connection());
}

void doubleClick(QListView* view, const QModelIndex& index)
{
    const QPoint at = view->visualRect(index).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                                    QEvent::MouseButtonRelease}) {
        const bool down = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
        QMouseEvent event(type, at, view->viewport()->mapToGlobal(at), Qt::LeftButton,
                          down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &event);
    }
}

// Works without a pause, as a long computation of the dialog's would.
void keepBusy(qint64 ms)
{
    QElapsedTimer working;
    working.start();
    volatile unsigned sum = 0;
    while (working.elapsed() < ms)
        for (unsigned i = 0; i < 100000; ++i)
            sum = sum + i;
}

// The steps, one at a time on a timer, each when its condition holds; a
// child of the dialog, gone with it.
class Hands : public QObject {
public:
    explicit Hands(QFileDialog& dialog)
        : QObject(&dialog), dialog_(&dialog),
          steps_(qEnvironmentVariable("LUMIVISTA_TEST_CHOOSER_STEPS").split(QLatin1Char('\n'), Qt::SkipEmptyParts))
    {
        connect(&timer_, &QTimer::timeout, this, &Hands::next);
        timer_.start(20);
        sinceStep_.start();
    }

private:
    void next()
    {
        if (!dialog_ || !dialog_->isVisible() || steps_.isEmpty()) {
            if (dialog_ && dialog_->isVisible())
                dialog_->reject();
            timer_.stop();
            return;
        }
        const QString step = steps_.first();
        const QString word = step.section(QLatin1Char(' '), 0, 0);
        const QString rest = step.section(QLatin1Char(' '), 1);
        if (!ready(word, rest)) {
            if (sinceStep_.elapsed() > cueBound) {
                note(QStringLiteral("timed out at ") + step);
                steps_.clear();
            }
            return;
        }
        steps_.removeFirst();
        sinceStep_.restart();
        QFileDialog& dialog = *dialog_;
        if (word == QLatin1String("type"))
            typeInto(nameBox(dialog), rest);
        else if (word == QLatin1String("name"))
            nameBox(dialog)->setText(rest);
        else if (word == QLatin1String("accept"))
            static_cast<QDialog&>(dialog).accept();
        else if (word == QLatin1String("cancel"))
            dialog.reject();
        else if (word == QLatin1String("escape"))
            pressEscape(dialog);
        else if (word == QLatin1String("unmap"))
            unmap(dialog);
        else if (word == QLatin1String("folder"))
            dialog.setDirectory(rest);
        else if (word == QLatin1String("listed"))
            note(QStringLiteral("listed ") + rest);
        else if (word == QLatin1String("enter"))
            doubleClick(list(dialog), entry(dialog, rest));
        else if (word == QLatin1String("busy"))
            keepBusy(rest.toLongLong());
    }

    bool ready(const QString& word, const QString& rest)
    {
        if (word == QLatin1String("listed") || word == QLatin1String("enter"))
            return entry(*dialog_, rest).isValid();
        if (word == QLatin1String("await"))
            return QFile::exists(rest);
        if (word == QLatin1String("wait"))
            return sinceStep_.elapsed() >= rest.toLongLong();
        return true;
    }

    QPointer<QFileDialog> dialog_;
    QStringList steps_;
    QTimer timer_;
    QElapsedTimer sinceStep_;
};

void noteShown(QFileDialog& dialog)
{
    note(QStringLiteral("shown ") + dialog.directory().absolutePath());
    note(QStringLiteral("mode %1").arg(int(dialog.fileMode())));
    note(QStringLiteral("title ") + dialog.windowTitle());
    note(QStringLiteral("name ") + (nameBox(dialog) ? nameBox(dialog)->text() : QStringLiteral("(none)")));
    note(QStringLiteral("bookmarks ") + QUrl::toStringList(dialog.sidebarUrls()).join(QLatin1Char(' ')));
    const QWindow* owner = dialog.windowHandle() ? dialog.windowHandle()->transientParent() : nullptr;
    note(QStringLiteral("transient %1").arg(owner ? owner->winId() : 0));
    note(QStringLiteral("window %1").arg(dialog.winId()));
    const auto* unlisted = dialog.findChild<QLabel*>(QStringLiteral("unlistedNames"));
    if (unlisted && unlisted->isVisible())
        note(QStringLiteral("unlisted ") + unlisted->text().split(QLatin1Char('\n')).join(QLatin1Char('|')));
}

QtMessageHandler writeLine = nullptr;

void noteAndWrite(QtMsgType type, const QMessageLogContext& context, const QString& line)
{
    note(QStringLiteral("said ") + line);
    writeLine(type, context, line);
}

} // namespace

// The race checker watches the program's side of a dialog, not Qt's own
// file dialog in here, which fills its model on threads of Qt's pool that
// it cannot see into and takes their hand-overs for races.
extern "C" const char* __tsan_default_options() { return "report_bugs=0"; }

int main(int argc, char** argv)
{
    if (!Application::startedAsHelper(argc, argv))
        return 64;
    if (std::strcmp(argv[1], ComponentModel::launcherOption) == 0)
        return Application::runHelper(argc, argv);
    note(QStringLiteral("pid %1").arg(::getpid()));
    writeLine = qInstallMessageHandler(noteAndWrite);
    const int status = Application::runHelper(argc, argv, [](QFileDialog& dialog) {
        noteShown(dialog);
        new Hands(dialog);
    });
    note(QStringLiteral("ended"));
    return status;
}
