#include "componentmodel/DesktopLauncher.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>

namespace ComponentModel {

namespace {

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
