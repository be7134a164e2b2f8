#include "componentmodel/FileHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

namespace FileHelpers {

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

QString numberedFileName(const QString& name, int number, const QString& extension)
{
    const QString base = sanitizeFileName(name);
    if (number <= 1)
        return base + extension;
    if (number > 9999)
        return QString();
    return base + QLatin1String(" (") + QString::number(number) + QLatin1Char(')') + extension;
}

QString uniqueFilePath(const QString& directory, const QString& name, const QString& extension)
{
    const QDir folder(directory);
    for (int n = 1;; ++n) {
        const QString candidate = numberedFileName(name, n, extension);
        if (candidate.isEmpty())
            return QString();
        if (!isTaken(folder.absoluteFilePath(candidate)))
            return folder.absoluteFilePath(candidate);
    }
}

bool isTemporaryName(const QString& candidate, const QString& stem)
{
    const int randomLength = 6;
    if (candidate.size() != stem.size() + randomLength || !candidate.startsWith(stem))
        return false;
    for (int i = int(stem.size()); i < candidate.size(); ++i) {
        const char16_t c = candidate[i].unicode();
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')))
            return false;
    }
    return true;
}

} // namespace FileHelpers
