#include "mvvm/FileChooserProcess.h"

#include "componentmodel/ProgramLauncher.h"
#include "componentmodel/UnwaitedProcess.h"
#include "mvvm/ForeignDialogKeeper.h"

#include <QDebug>
#include <QDialog>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace Mvvm {

namespace {

// The window asks this often, in its own turns, and judges what the
// chooser did meanwhile. Silent and not running for this many of them once
// its dialog shows, it is held (a file call that hangs) or stopped.
const int askEveryMs = 100;
const int stillAsksShown = 30;
// Before that it starts: a new process, Qt's dialog built.
const int stillAsksStarting = 100;
// After its answer the chooser stores Qt's memory of the dialog and ends.
const std::chrono::milliseconds settleGrace(5000);

QString& chosenProgram()
{
    static QString program;
    return program;
}

// The chooser, which also runs the launcher it is started from.
QString chooserProgram()
{
    return chosenProgram().isEmpty() ? QStringLiteral("/proc/self/exe") : chosenProgram();
}

// Whether the process's main thread runs or waits for a processor; false
// when it sleeps, waits in the kernel, is stopped or has gone.
bool runs(qint64 pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%lld/stat", static_cast<long long>(pid));
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char stat[512];
    const ssize_t size = ::read(fd, stat, sizeof stat - 1);
    ::close(fd);
    if (size <= 0)
        return false;
    stat[size] = '\0';
    // "pid (name) S ...": the name may hold anything, its last ')' ends it.
    const char* nameEnd = std::strrchr(stat, ')');
    return nameEnd && nameEnd[1] == ' ' && nameEnd[2] == 'R';
}

// One byte on the chooser's input. One that has ended raises SIGPIPE,
// which is taken here.
void ask(int input)
{
    sigset_t pipe, before;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipe, &before);
    ssize_t written;
    while ((written = ::write(input, "?", 1)) < 0 && errno == EINTR) {
    }
    if (written < 0 && errno == EPIPE) {
        const timespec now{0, 0};
        ::sigtimedwait(&pipe, nullptr, &now);
    }
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

// The stand-in the window waits in: modal, never on the screen, ended by
// the chooser's answer (at the latest as its dialog leaves the screen), its
// silence or its end.
class ChooserWait : public QDialog {
public:
    ChooserWait(const ComponentModel::UnwaitedProcess& process, QWidget* window, ForeignDialogKeeper& keeper)
        : QDialog(window), input_(process.input()), output_(process.output()), keeper_(keeper),
          notifier_(output_, QSocketNotifier::Read)
    {
        setAttribute(Qt::WA_DontShowOnScreen);
        setModal(true);
        ::fcntl(input_, F_SETFL, ::fcntl(input_, F_GETFL) | O_NONBLOCK);
        connect(&notifier_, &QSocketNotifier::activated, this, &ChooserWait::readWords);
        connect(&asking_, &QTimer::timeout, this, &ChooserWait::checkAnswering);
        asking_.start(askEveryMs);
        keeper_.whenDialogLeaves([this](bool destroyed) { dialogLeft(destroyed); });
    }
    ~ChooserWait() override { keeper_.whenDialogLeaves({}); }

    FileChooserOutcome outcome;
    bool heard = false; // a word of the chooser

private:
    void readWords()
    {
        char bytes[4096];
        for (;;) {
            const ssize_t count = ::read(output_, bytes, sizeof bytes);
            if (count > 0) {
                pending_.append(bytes, int(count));
                continue;
            }
            if (count < 0 && errno == EINTR)
                continue;
            takeLines();
            if (count == 0 || errno != EAGAIN)
                finish(FileChooserOutcome::Failed);
            return;
        }
    }

    void takeLines()
    {
        int end;
        while (!finished_ && (end = pending_.indexOf('\n')) >= 0) {
            const QByteArray line = pending_.left(end);
            pending_.remove(0, end + 1);
            heard = true;
            stillAsks_ = 0;
            if (line == "alive")
                asked_ = false;
            else if (line.startsWith("process "))
                pid_ = line.mid(8).toLongLong();
            else if (line == "shown")
                shown_ = true;
            else if (line.startsWith("window ")) {
                outcome.dialogWindow = line.mid(7).toUInt();
                keeper_.setDialog(outcome.dialogWindow);
            }
            else if (line == "lost")
                lost_ = true;
            else if (line == "end")
                finish(lost_ ? FileChooserOutcome::Lost : FileChooserOutcome::Answered);
            else if (const auto file = pathOfLine("file", line))
                chosen_ << *file;
            else if (const auto folder = pathOfLine("folder", line))
                folder_ = *folder;
        }
    }

    void checkAnswering()
    {
        if (!asked_) {
            ask(input_);
            asked_ = true;
            return;
        }
        if (pid_ > 0 && runs(pid_)) {
            stillAsks_ = 0;
            return;
        }
        if (++stillAsks_ >= (shown_ ? stillAsksShown : stillAsksStarting))
            finish(FileChooserOutcome::StoppedAnswering);
    }

    // The chooser said its answer before its window left: it is read now,
    // ahead of whatever the window system tells after, the user's next key
    // among it. A window destroyed without an answer leaves nothing to
    // choose in.
    void dialogLeft(bool destroyed)
    {
        readWords();
        if (destroyed)
            finish(FileChooserOutcome::Lost);
    }

    void finish(FileChooserOutcome::End end)
    {
        if (finished_)
            return;
        finished_ = true;
        notifier_.setEnabled(false);
        asking_.stop();
        outcome.end = end;
        if (end == FileChooserOutcome::Answered) {
            outcome.chosen = chosen_;
            outcome.folder = folder_;
        }
        done(Accepted);
    }

    const int input_;
    const int output_;
    ForeignDialogKeeper& keeper_;
    QSocketNotifier notifier_;
    QTimer asking_;
    QByteArray pending_;
    QStringList chosen_;
    QString folder_;
    qint64 pid_ = 0;
    int stillAsks_ = 0; // asks in a row left unanswered while it did not run
    bool asked_ = false;
    bool shown_ = false;
    bool lost_ = false;
    bool finished_ = false;
};

// One chooser shown and waited for; `heard` when it said a word.
FileChooserOutcome chooseOnce(const FileChooserRequest& request, QWidget* window, bool* heard)
{
    const QString program = chooserProgram();
    QString error;
    std::unique_ptr<ComponentModel::UnwaitedProcess> process = ComponentModel::UnwaitedProcess::start(
        program, program, QStringList{QLatin1String(fileChooserOption)} + request.arguments(), &error);
    if (!process)
        return {FileChooserOutcome::Failed, QStringList(), QString(), error};
    FileChooserOutcome outcome;
    {
        // Gone after the wait, once the window is no longer blocked.
        ForeignDialogKeeper keeper(window);
        ChooserWait wait(*process, window, keeper);
        wait.exec();
        outcome = wait.outcome;
        *heard = wait.heard;
    }
    if (outcome.end == FileChooserOutcome::StoppedAnswering)
        qWarning().noquote() << "[Dialog] the file dialog does not answer: it is given up";
    const bool ending = outcome.end == FileChooserOutcome::Answered || outcome.end == FileChooserOutcome::Lost;
    process->leave(ending ? settleGrace : std::chrono::milliseconds(0));
    return outcome;
}

} // namespace

FileChooserOutcome chooseInProcessOfItsOwn(FileChooserRequest request, QWidget* window)
{
    if (window)
        window = window->window();
    if (window && QGuiApplication::platformName() == QLatin1String("xcb"))
        request.transientFor = window->window()->winId();
    // A chooser that ended without a word was never started: its launcher
    // ended as it was handed over (killed, say). The next start makes a
    // new launcher.
    bool heard = false;
    FileChooserOutcome outcome = chooseOnce(request, window, &heard);
    if (outcome.end == FileChooserOutcome::Failed && !heard)
        outcome = chooseOnce(request, window, &heard);
    return outcome;
}

void setFileChooserProgram(const QString& program) { chosenProgram() = program; }

bool prepareFileChoosers() { return ComponentModel::startLauncher(chooserProgram()); }

} // namespace Mvvm
