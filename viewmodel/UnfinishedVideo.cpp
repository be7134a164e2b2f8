#include "viewmodel/UnfinishedVideo.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace ViewModel {

namespace {

const QLatin1String namePrefix(".lumivista-unfinished-");
// A new random name each try; a clash with another file is all but
// impossible.
const int nameTries = 16;
// More than the video writer buffers (32 KiB): a folder without that much
// room fails the probe as it failed the writer.
const std::size_t probeBytes = 64 * 1024;

QString newName()
{
    return namePrefix + QStringLiteral("%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

bool isTemporaryName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^\\.lumivista-unfinished-[0-9a-f]{8}$"));
    return pattern.match(name).hasMatch();
}

void removeLeftovers(const QString& folder)
{
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({namePrefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names)
        if (isTemporaryName(name))
            QFile::remove(dir.filePath(name));
}

// Creates a file under a new temporary name in `folder`, open for writing:
// 0 with its descriptor and path, or the errno.
int createFile(const QString& folder, int& descriptor, QString& path)
{
    const QDir dir(folder);
    for (int i = 0; i < nameTries; ++i) {
        const QString candidate = dir.absoluteFilePath(newName());
        descriptor = ::open(QFile::encodeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            path = candidate;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

int writeZeros(int descriptor, std::size_t bytes)
{
    const std::vector<char> zeros(bytes);
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t written = ::write(descriptor, zeros.data() + done, bytes - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : ENOSPC;
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

bool pathTaken(const QByteArray& path)
{
    struct stat status;
    return ::lstat(path.constData(), &status) == 0;
}

} // namespace

UnfinishedVideo::~UnfinishedVideo()
{
    discard();
}

int UnfinishedVideo::create(const QString& folder)
{
    discard();
    removeLeftovers(folder);
    int descriptor = -1;
    const int error = createFile(folder, descriptor, path_);
    if (error == 0)
        ::close(descriptor);
    return error;
}

int UnfinishedVideo::finishAs(const QString& resultPath)
{
    if (path_.isEmpty())
        return ENOENT;
    const QByteArray from = QFile::encodeName(path_);
    const QByteArray to = QFile::encodeName(resultPath);
    int result = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without the renaming that never replaces.
        if (pathTaken(to))
            return EEXIST;
        result = ::rename(from.constData(), to.constData());
    }
    if (result != 0)
        return errno;
    path_.clear();
    return 0;
}

void UnfinishedVideo::discard()
{
    if (path_.isEmpty())
        return;
    ::unlink(QFile::encodeName(path_).constData());
    path_.clear();
}

int UnfinishedVideo::probe(const QString& folder)
{
    int descriptor = -1;
    QString path;
    int error = createFile(folder, descriptor, path);
    if (error != 0)
        return error;
    error = writeZeros(descriptor, probeBytes);
    if (::close(descriptor) != 0 && error == 0)
        error = errno;
    ::unlink(QFile::encodeName(path).constData());
    return error;
}

} // namespace ViewModel
