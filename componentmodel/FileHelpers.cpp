#include "componentmodel/FileHelpers.h"

#include "componentmodel/DesktopLauncher.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QUuid>

namespace FileHelpers {

void openFile(const QString& path)
{
    if (QFileInfo::exists(path))
        ComponentModel::openUrl(QUrl::fromLocalFile(path));
}

QString createUniqueId(const QString& suffix)
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces) + suffix;
}

QString siblingFilePath(const QString& path, const QString& suffix)
{
    const QFileInfo info(path);
    return info.absoluteDir().absoluteFilePath(info.completeBaseName() + suffix);
}

QString sanitizeFileName(const QString& name)
{
    QString clean = name;
    for (const QChar c : {u':', u'*', u'/', u'\\'})
        clean.replace(c, u' ');
    clean.remove(u'?');
    for (const QChar c : {u'|', u'\'', u'"', u'<', u'>'})
        clean.replace(c, u' ');
    return clean;
}

QString filePathInDirectory(const QString& directory, const QString& name, const QString& extension)
{
    return QDir(directory).absoluteFilePath(sanitizeFileName(name) + extension);
}

namespace {

// Anything standing at the path takes its name, a link to nothing
// included: writing there would write wherever the link points.
bool isTaken(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

QString uniqueFilePath(const QString& directory, const QString& name, const QString& extension)
{
    const QDir folder(directory);
    const QString base = sanitizeFileName(name);
    QString candidate = folder.absoluteFilePath(base + extension);
    if (!isTaken(candidate))
        return candidate;
    for (int n = 2; n <= 9999; ++n) {
        candidate = folder.absoluteFilePath(base + QLatin1String(" (") + QString::number(n) + QLatin1Char(')') + extension);
        if (!isTaken(candidate))
            return candidate;
    }
    return QString();
}

void showInExplorer(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return;
    ComponentModel::showInFolder(QUrl::fromLocalFile(info.canonicalFilePath()));
}

} // namespace FileHelpers
