#include "componentmodel/DesktopLauncher.h"

#include <QDBusConnection>
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

bool showItemsInFileManager(const QUrl& fileUrl)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{fileUrl.toString(QUrl::FullyEncoded)} << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
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
