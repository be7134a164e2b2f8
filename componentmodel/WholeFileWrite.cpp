#include "componentmodel/WholeFileWrite.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>

namespace ComponentModel {

namespace {

// The errno a failed step left, or one that stands for it.
int failure() { return errno ? errno : EIO; }

} // namespace

int writeWholeFile(const QString& path, const QByteArray& content)
{
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.flush() ||
        !file.commit())
        return failure();
    QFile written(path);
    errno = 0;
    if (!written.open(QIODevice::ReadOnly))
        return failure();
    const QByteArray onDisk = written.readAll();
    if (written.error() != QFile::NoError)
        return EIO;
    return onDisk == content ? 0 : ENOSPC;
}

} // namespace ComponentModel
