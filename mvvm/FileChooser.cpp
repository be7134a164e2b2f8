#include "mvvm/FileChooser.h"

#include "mvvm/FileChooserRequest.h"
#include "mvvm/KeyboardElsewhere.h"
#include "mvvm/NativeDestructionWatch.h"
#include "mvvm/QtFileDialogMemory.h"
#include "mvvm/StartFolder.h"

#include "componentmodel/Descriptors.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <sys/eventfd.h>
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

// Set once the window has asked the chooser to end, before its
// connections close.
std::atomic<bool> askedToEnd{false};
QtMessageHandler saidBefore = nullptr;

// What Qt says once the chooser was asked to end comes of its connections
// closed under it ("The X11 connection broke (error 1). Did the X11 server
// die?") and is untrue: it is not said. The thread that would say it is
// held until the end comes: Qt would go on to end the process itself, with
// a failure, under the thread that ends it.
void sayUnlessAskedToEnd(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (!askedToEnd.load(std::memory_order_acquire))
        return saidBefore(type, context, text);
    for (;;)
        ::pause();
}

// A thread of its own reads the window's asks, a byte each, and hands each
// to the window's thread through `asks` (an eventfd), which answers when it
// turns: a chooser whose window's thread is held answers none. The thread
// ends the process at once when the window closes the chooser's input. It
// owns the paths it removes (the private copy of Qt's settings).
void readAsksUntilInputCloses(int asks, const QStringList& privatePaths)
{
    std::vector<std::string> paths;
    for (const QString& path : privatePaths)
        paths.push_back(QFile::encodeName(path).toStdString());
    try {
        std::thread([asks, paths] {
            char bytes[64];
            for (;;) {
                const ssize_t count = ::read(STDIN_FILENO, bytes, sizeof bytes);
                if (count > 0) {
                    const std::uint64_t one = 1;
                    [[maybe_unused]] const ssize_t told = ::write(asks, &one, sizeof one);
                    continue;
                }
                if (count == 0 || errno != EINTR)
                    break;
            }
            askedToEnd.store(true, std::memory_order_release);
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

UnlistedNamesNote& unlistedNamesNote()
{
    static UnlistedNamesNote note;
    return note;
}

// The patterns of Qt's name filter "Images (*.jpg *.jpeg)", or "*.jpg".
QStringList patternsOf(const QString& filter)
{
    const qsizetype open = filter.lastIndexOf(QLatin1Char('(')), close = filter.lastIndexOf(QLatin1Char(')'));
    const QString patterns = open >= 0 && close > open ? filter.mid(open + 1, close - open - 1) : filter;
    return patterns.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// A line under the dialog's list naming the files of the folder shown
// that the list leaves out. Only Qt's own dialog has the list.
void noteUnlistedNames(QFileDialog& dialog)
{
    auto* layout = qobject_cast<QGridLayout*>(dialog.layout());
    if (!unlistedNamesNote() || !layout || dialog.fileMode() == QFileDialog::Directory)
        return;
    auto* label = new QLabel(&dialog);
    label->setObjectName(QStringLiteral("unlistedNames"));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->hide();
    layout->addWidget(label, layout->rowCount(), 0, 1, layout->columnCount());
    const auto show = [&dialog, label] {
        const QString note =
            unlistedNamesNote()(dialog.directory().absolutePath(), patternsOf(dialog.selectedNameFilter()));
        label->setText(note);
        label->setVisible(!note.isEmpty());
    };
    QObject::connect(&dialog, &QFileDialog::directoryEntered, label, show);
    QObject::connect(&dialog, &QFileDialog::filterSelected, label, show);
    show();
}

// Qt's dialog, but for a chosen name that is not UTF-8 text, and which
// says its answer as it closes, before its window leaves the screen: the
// window's wait then ends with it, and a key the user presses next reaches
// the window.
class ChooserDialog : public QFileDialog {
public:
    ChooserDialog(const FileChooserRequest& request, const QString& start)
        : QFileDialog(nullptr, request.title, start, request.filters),
          choosesFolder_(request.mode == FileChooserRequest::Folder)
    {
    }

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

    void done(int result) override
    {
        if (!answered_) {
            answered_ = true;
            const QStringList chosen = result == Accepted ? selectedFiles() : QStringList();
            for (const QString& file : chosen)
                say(pathLine("file", file));
            if (!chosen.isEmpty())
                say(pathLine("folder", folderToRemember(chosen.first(), choosesFolder_)));
            say("end");
        }
        QFileDialog::done(result);
    }

private:
    const bool choosesFolder_;
    bool answered_ = false;
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

void setUnlistedNamesNote(UnlistedNamesNote note) { unlistedNamesNote() = std::move(note); }

int runFileChooser(const QStringList& arguments, const std::function<void(QFileDialog&)>& whenShown)
{
    const std::optional<FileChooserRequest> request = FileChooserRequest::fromArguments(arguments);
    if (!request) {
        std::fprintf(stderr, "%s: not a request of the program's window\n", fileChooserOption);
        return 64;
    }
    std::signal(SIGPIPE, SIG_IGN);
    say("process " + QByteArray::number(qint64(::getpid())));
    const int asks = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    QSocketNotifier asked(asks, QSocketNotifier::Read);
    QObject::connect(&asked, &QSocketNotifier::activated, [asks] {
        std::uint64_t count;
        [[maybe_unused]] const ssize_t taken = ::read(asks, &count, sizeof count);
        say("alive");
    });
    const QString start = startFolder(request->startFolders);
    QtFileDialogMemory memory(start, bookmarkPatience);
    saidBefore = qInstallMessageHandler(sayUnlessAskedToEnd);
    readAsksUntilInputCloses(asks, memory.privatePaths());

    std::unique_ptr<QFileDialog> dialog = std::make_unique<ChooserDialog>(*request, start);
    setMode(*dialog, request->mode);
    noteUnlistedNames(*dialog);
    const std::unique_ptr<QWindow> owner = belongTo(*dialog, request->transientFor);
    // A dialog whose window another program destroyed or took off the
    // screen is closed: nothing can be chosen in it any more.
    auto* gone = new NativeDestructionWatch(dialog.get());
    const auto lost = [&dialog] {
        if (!dialog->isVisible())
            return;
        say("lost");
        dialog->reject();
    };
    QObject::connect(gone, &NativeDestructionWatch::destroyedFromOutside, dialog.get(), lost, Qt::QueuedConnection);
    QObject::connect(gone, &NativeDestructionWatch::withdrawnFromOutside, dialog.get(), lost, Qt::QueuedConnection);
    QTimer::singleShot(0, dialog.get(), [&dialog, &whenShown] {
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            say("window " + QByteArray::number(quint64(dialog->winId())));
        say("shown");
        if (whenShown)
            whenShown(*dialog);
    });
    execLeavingTheKeyboard(*dialog, std::uint32_t(request->transientFor));
    QtFileDialogMemory::forget(*dialog);
    dialog.reset();
    memory.storeBack();
    return 0;
}

} // namespace Mvvm
