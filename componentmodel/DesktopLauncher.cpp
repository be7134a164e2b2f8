#include "componentmodel/DesktopLauncher.h"

#include "componentmodel/DesktopSignals.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <memory>

namespace ComponentModel {

namespace {

// xdg-open ends once the desktop's program has taken the address, or runs
// it (a generic desktop's mail program) for as long as the user keeps it.
const int openerPatienceMs = 5000;

UrlLauncher& currentLauncher()
{
    static UrlLauncher launcher = defaultUrlLauncher;
    return launcher;
}

// Sent without waiting for the answer: a file manager started on demand must
// not hold up the GUI thread.
bool showItemsInFileManager(const QUrl& fileUrl)
{
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface* daemon = bus.isConnected() ? bus.interface() : nullptr;
    if (!daemon || !(daemon->isServiceRegistered(service).value() ||
                     daemon->activatableServiceNames().value().contains(service))) {
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                                      service, QStringLiteral("ShowItems"));
    call << QStringList{fileUrl.toString(QUrl::FullyEncoded)} << QString();
    return bus.send(call);
}

} // namespace

bool openUrl(const QUrl& url)
{
    return currentLauncher()(url, LaunchMode::Open);
}

bool showInFolder(const QUrl& fileUrl)
{
    return currentLauncher()(fileUrl, LaunchMode::ShowInFolder);
}

void openUrlThen(const QUrl& url, QObject* context, std::function<void(bool taken)> taken)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    const auto* launcher = currentLauncher().target<bool (*)(const QUrl&, LaunchMode)>();
    if (opener.isEmpty() || !launcher || *launcher != defaultUrlLauncher) {
        taken(openUrl(url));
        return;
    }
    // Not a child of `context`: a process still running when its object
    // goes would be killed, the user's mail program with it. One that runs
    // on past the program's end is left to run, with nothing of the
    // program's but its standard error (a pipe to the program would end
    // it at its first word after the program's end), taken as the
    // desktop's own start leaves it: where the session keeps its programs'
    // words. Qt's start of a QProcess is no fork: its handlers do not run.
    auto* process = new QProcess;
    process->setProgram(opener);
    process->setArguments({url.toString(QUrl::FullyEncoded)});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setChildProcessModifier(takeDesktopSignals);
    auto answer = std::make_shared<std::function<void(bool)>>(std::move(taken));
    const QPointer<QObject> alive(context);
    const auto tell = [answer, alive](bool took) {
        if (*answer && alive)
            (*answer)(took);
        *answer = nullptr;
    };
    QObject::connect(process, &QProcess::finished, process, [process, tell](int code, QProcess::ExitStatus status) {
        tell(status == QProcess::NormalExit && code == 0);
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, tell](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        tell(false);
        process->deleteLater();
    });
    QTimer::singleShot(openerPatienceMs, process, [tell] { tell(true); });
    process->start();
}

UrlLauncher setUrlLauncher(UrlLauncher launcher)
{
    UrlLauncher previous = std::move(currentLauncher());
    currentLauncher() = launcher ? std::move(launcher) : UrlLauncher(defaultUrlLauncher);
    return previous;
}

bool defaultUrlLauncher(const QUrl& url, LaunchMode mode)
{
    if (mode == LaunchMode::Open)
        return QDesktopServices::openUrl(url);
    if (showItemsInFileManager(url))
        return true;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(url.toLocalFile()).absolutePath()));
}

} // namespace ComponentModel
