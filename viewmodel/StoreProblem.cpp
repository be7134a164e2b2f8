#include "viewmodel/StoreProblem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ViewModel {

namespace {

QString tr(const char* text) { return QCoreApplication::translate("ViewModel::StoreProblem", text); }

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

// The closest folder on the way to `path` that exists (or whatever stands
// there instead of a folder).
QString nearestExisting(QString path)
{
    while (!QFileInfo::exists(path)) {
        const QString up = QFileInfo(path).absolutePath();
        if (up == path)
            break;
        path = up;
    }
    return path;
}

QString errnoProblem(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return tr("the disk is full");
    case EROFS:
        return tr("the disk is read-only");
    case EISDIR:
        return tr("a folder is in the way");
    case EACCES:
    case EPERM:
        return tr("no permission to write it");
    case EAGAIN:
        return tr("another program keeps it locked");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

} // namespace

QString storeProblem(const QString& path, int error, const QString& fallback)
{
    const QFileInfo file(path);
    if (file.isDir())
        return tr("a folder is in the way");
    const QString folder = file.absolutePath();
    const QString existing = nearestExisting(folder);
    if (!QFileInfo(existing).isDir())
        return tr("\"%1\" is a file where a folder should be").arg(shown(existing));
    if (existing != folder)
        return tr("the folder \"%1\" does not exist").arg(shown(folder));
    const QByteArray folderName = QFile::encodeName(folder);
    if (::access(folderName.constData(), W_OK) != 0)
        return errno == EROFS ? tr("the disk is read-only") : tr("the folder is read-only");
    if (file.exists() && ::access(QFile::encodeName(path).constData(), W_OK) != 0)
        return errno == EROFS ? tr("the disk is read-only") : tr("the file is read-only");
    struct statvfs disk;
    if (::statvfs(folderName.constData(), &disk) == 0 && disk.f_bavail == 0)
        return tr("the disk is full");
    if (error != 0)
        return errnoProblem(error);
    return fallback;
}

QString diskOf(const QString& path)
{
    QString disk = nearestExisting(QFileInfo(path).absoluteFilePath());
    struct stat status;
    if (::stat(QFile::encodeName(disk).constData(), &status) != 0)
        return path;
    for (;;) {
        const QString up = QFileInfo(disk).absolutePath();
        struct stat above;
        if (up == disk || ::stat(QFile::encodeName(up).constData(), &above) != 0 || above.st_dev != status.st_dev)
            return disk;
        disk = up;
    }
}

} // namespace ViewModel
