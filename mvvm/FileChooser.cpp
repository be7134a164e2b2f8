#include "mvvm/FileChooser.h"

#include "mvvm/FileChooserRequest.h"
#include "mvvm/QtFileDialogMemory.h"
#include "mvvm/StartFolder.h"

#include "componentmodel/Descriptors.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Mvvm {

namespace {

// How long the dialog's bookmarks are looked at each before the dialog is
// built: a disk answers far sooner, a share that hangs never.
const std::chrono::milliseconds bookmarkPatience(100);

// The window reads every word as it comes; once it has left, a word goes
// nowhere.
void say(const QByteArray& word)
{
    const QByteArray line = word + '\n';
    ComponentModel::writeAll(STDOUT_FILENO, line.constData(), std::size_t(line.size()));
}

// Every socket of the process ended here, the window system's connection
// among them: its windows leave the screen at once, although the process
// stays. A close alone would not end a connection another thread is
// inside (Qt's reader of the window system's events waits in it): the
// socket is shut down first. The sockets are the chooser's own: what it
// inherits from the launcher is opened close-on-exec there. No allocation: the thread that held the allocator may be the
// one that waits.
void closeSockets()
{
    for (int fd = STDERR_FILENO + 1; fd < 1024; ++fd) {
        struct stat status;
        if (::fstat(fd, &status) == 0 && S_ISSOCK(status.st_mode)) {
            ::shutdown(fd, SHUT_RDWR);
            ::close(fd);
        }
    }
}

// A thread of its own waits for the window to close the chooser's input.
// It owns the paths it removes (the private copy of Qt's settings).
void endWhenInputCloses(const QStringList& privatePaths)
{
    std::vector<std::string> paths;
    for (const QString& path : privatePaths)
        paths.push_back(QFile::encodeName(path).toStdString());
    try {
        std::thread([paths] {
            char byte;
            for (;;) {
                const ssize_t count = ::read(STDIN_FILENO, &byte, 1);
                if (count == 0 || (count < 0 && errno != EINTR))
                    break;
            }
            closeSockets();
            for (const std::string& path : paths)
                ::remove(path.c_str());
            ::_exit(0);
        }).detach();
    } catch (const std::system_error&) {
        // Without it the chooser ends when its dialog closes, or is killed.
    }
}

QString& notUtf8NameReason()
{
    static QString reason;
    return reason;
}

// Qt's dialog, but for a chosen name that is not UTF-8 text.
class ChooserDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        // Such a name comes decoded with replacement characters: it names
        // no file (a new name of the save dialog may hold them).
        if (acceptMode() == AcceptOpen && !notUtf8NameReason().isEmpty()) {
            for (const QString& chosen : selectedFiles()) {
                if (chosen.contains(QChar::ReplacementCharacter) && !QFileInfo::exists(chosen)) {
                    QMessageBox::warning(this, windowTitle(), chosen + QLatin1String(": ") + notUtf8NameReason());
                    return;
                }
            }
        }
        QFileDialog::accept();
    }
};

void setMode(QFileDialog& dialog, FileChooserRequest::Mode mode)
{
    switch (mode) {
    case FileChooserRequest::OpenOne:
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    case FileChooserRequest::OpenMany:
        dialog.setFileMode(QFileDialog::ExistingFiles);
        break;
    case FileChooserRequest::Save:
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        break;
    case FileChooserRequest::Folder:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    }
}

// The window's own window, which the dialog is made transient for: the
// window manager keeps the dialog over it, as a dialog of the program.
std::unique_ptr<QWindow> belongTo(QFileDialog& dialog, quint64 window)
{
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    std::unique_ptr<QWindow> owner(QWindow::fromWinId(WId(window)));
    if (owner) {
        dialog.winId();
        dialog.windowHandle()->setTransientParent(owner.get());
    }
    return owner;
}

} // namespace

void setNotUtf8NameReason(const QString& reason) { notUtf8NameReason() = reason; }

int runFileChooser(const QStringList& arguments, const std::function<void(QFileDialog&)>& whenShown)
{
    const std::optional<FileChooserRequest> request = FileChooserRequest::fromArguments(arguments);
    if (!request) {
        std::fprintf(stderr, "%s: not a request of the program's window\n", fileChooserOption);
        return 64;
    }
    std::signal(SIGPIPE, SIG_IGN);
    say("alive");
    const QString start = startFolder(request->startFolders);
    QtFileDialogMemory memory(start, bookmarkPatience);
    endWhenInputCloses(memory.privatePaths());
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [] { say("alive"); });
    heartbeat.start(100);

    std::unique_ptr<QFileDialog> dialog =
        std::make_unique<ChooserDialog>(nullptr, request->title, start, request->filters);
    setMode(*dialog, request->mode);
    const std::unique_ptr<QWindow> owner = belongTo(*dialog, request->transientFor);
    QTimer::singleShot(0, dialog.get(), [&dialog, &whenShown] {
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            say("window " + QByteArray::number(quint64(dialog->winId())));
        say("shown");
        if (whenShown)
            whenShown(*dialog);
    });
    const bool accepted = dialog->exec() == QDialog::Accepted;
    heartbeat.stop();
    const QStringList chosen = accepted ? dialog->selectedFiles() : QStringList();
    for (const QString& file : chosen)
        say(pathLine("file", file));
    if (!chosen.isEmpty())
        say(pathLine("folder", folderToRemember(chosen.first(), request->mode == FileChooserRequest::Folder)));
    say("end");
    QtFileDialogMemory::forget(*dialog);
    dialog.reset();
    memory.storeBack();
    return 0;
}

} // namespace Mvvm
