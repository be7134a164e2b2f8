#include "mvvm/FileChooserProcess.h"

#include "componentmodel/ProgramLauncher.h"
#include "componentmodel/UnwaitedProcess.h"
#include "mvvm/ForeignDialogKeeper.h"

#include <QDebug>
#include <QDialog>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <chrono>

#include <unistd.h>

namespace Mvvm {

namespace {

// The chooser says a word about ten times a second while its window's
// thread turns: silent this long once shown, it is held (a file call that
// hangs), and a few seconds on a busy machine are still far from that.
const qint64 answeringPatienceMs = 3000;
// Its start (a new process, Qt's dialog built) takes a second or two on a
// loaded machine with a sanitizer.
const qint64 startPatienceMs = 10000;
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

// The stand-in the window waits in: modal, never on the screen, ended by
// the chooser's answer, its silence or its end.
class ChooserWait : public QDialog {
public:
    ChooserWait(int output, QWidget* window, ForeignDialogKeeper& keeper)
        : QDialog(window), output_(output), keeper_(keeper), notifier_(output, QSocketNotifier::Read)
    {
        setAttribute(Qt::WA_DontShowOnScreen);
        setModal(true);
        connect(&notifier_, &QSocketNotifier::activated, this, &ChooserWait::readWords);
        connect(&patience_, &QTimer::timeout, this, &ChooserWait::checkAnswering);
        patience_.start(100);
        sinceHeard_.start();
    }

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
            sinceHeard_.restart();
            heard = true;
            if (line == "shown")
                shown_ = true;
            else if (line.startsWith("window "))
                keeper_.setDialog(line.mid(7).toUInt());
            else if (line == "end")
                finish(FileChooserOutcome::Answered);
            else if (const auto file = pathOfLine("file", line))
                chosen_ << *file;
            else if (const auto folder = pathOfLine("folder", line))
                folder_ = *folder;
        }
    }

    void checkAnswering()
    {
        if (sinceHeard_.elapsed() > (shown_ ? answeringPatienceMs : startPatienceMs))
            finish(FileChooserOutcome::StoppedAnswering);
    }

    void finish(FileChooserOutcome::End end)
    {
        if (finished_)
            return;
        finished_ = true;
        notifier_.setEnabled(false);
        patience_.stop();
        outcome.end = end;
        if (end == FileChooserOutcome::Answered) {
            outcome.chosen = chosen_;
            outcome.folder = folder_;
        }
        done(Accepted);
    }

    const int output_;
    ForeignDialogKeeper& keeper_;
    QSocketNotifier notifier_;
    QTimer patience_;
    QElapsedTimer sinceHeard_;
    QByteArray pending_;
    QStringList chosen_;
    QString folder_;
    bool shown_ = false;
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
        ChooserWait wait(process->output(), window, keeper);
        wait.exec();
        outcome = wait.outcome;
        *heard = wait.heard;
    }
    if (outcome.end == FileChooserOutcome::StoppedAnswering)
        qWarning().noquote() << "[Dialog] the file dialog does not answer: it is given up";
    process->leave(outcome.end == FileChooserOutcome::Answered ? settleGrace : std::chrono::milliseconds(0));
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
