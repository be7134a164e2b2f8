#include "componentmodel/SettingsRewrite.h"

#include "componentmodel/Descriptors.h"
#include "componentmodel/SettingsFileLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace ComponentModel {

namespace {

SettingsWrite failed(int error, QSettings::Status status = QSettings::AccessError) { return {status, error}; }

// The file at `path` whole in `content`: 0, or why it could not be read
// (ENOENT where nothing stands).
int readWhole(const QString& path, QByteArray& content)
{
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        return errno ? errno : EIO;
    content = file.readAll();
    return file.error() == QFile::NoError ? 0 : EIO;
}

// A new file beside `file` named as its drafts are ("<file>.XXXXXX");
// removed as the draft goes, unless placed.
class Draft {
public:
    explicit Draft(const QString& file) : file_(file) {}
    ~Draft()
    {
        if (!path_.isEmpty())
            ::unlink(QFile::encodeName(path_).constData());
    }
    Draft(const Draft&) = delete;
    Draft& operator=(const Draft&) = delete;

    const QString& path() const { return path_; }

    // Made holding `content`, with the file's permissions where it stands
    // (else the owner's alone): 0, or the errno of the failed step.
    int make(const QByteArray& content)
    {
        QTemporaryFile made(file_ + QStringLiteral(".XXXXXX"));
        made.setAutoRemove(false);
        errno = 0;
        if (!made.open())
            return errno ? errno : EIO;
        path_ = made.fileName();
        struct stat status;
        if (::stat(QFile::encodeName(file_).constData(), &status) == 0 &&
            ::fchmod(made.handle(), status.st_mode & 07777) != 0)
            return errno;
        return writeAll(made.handle(), content.constData(), std::size_t(content.size())) ? 0 : errno;
    }

    // Takes a new name of the same kind: 0, or the errno of the failed step.
    int rename()
    {
        QTemporaryFile name(file_ + QStringLiteral(".XXXXXX"));
        name.setAutoRemove(false);
        errno = 0;
        if (!name.open())
            return errno ? errno : EIO;
        const QString renamed = name.fileName();
        name.close();
        if (std::rename(QFile::encodeName(path_).constData(), QFile::encodeName(renamed).constData()) != 0) {
            const int error = errno;
            ::unlink(QFile::encodeName(renamed).constData());
            return error;
        }
        path_ = renamed;
        return 0;
    }

    // Put in the file's place: 0, or the errno of the failed step.
    int place()
    {
        if (std::rename(QFile::encodeName(path_).constData(), QFile::encodeName(file_).constData()) != 0)
            return errno;
        path_.clear();
        return 0;
    }

private:
    const QString file_;
    QString path_;
};

QStringList sorted(QStringList keys)
{
    std::sort(keys.begin(), keys.end());
    return keys;
}

// Whether the draft at `path` is whole: what was written to it unchanged,
// or what Qt's settings made of it, ending as they end a file they wrote
// whole, with every key of `keys`.
bool readsWhole(const QString& path, const QByteArray& written, const QStringList& keys)
{
    QByteArray onDisk;
    if (readWhole(path, onDisk) != 0)
        return false;
    // Ours, written whole and unchanged: Qt had nothing to write.
    if (onDisk == written)
        return true;
    if (keys.isEmpty() ? !onDisk.isEmpty() : !onDisk.endsWith('\n'))
        return false;
    const QSettings back(path, QSettings::IniFormat);
    return back.status() == QSettings::NoError && sorted(back.allKeys()) == keys;
}

} // namespace

SettingsWrite rewriteSettingsFile(const QString& file, const std::function<void(QSettings&)>& change,
                                  const QByteArray* start)
{
    errno = 0;
    if (!QDir().mkpath(QFileInfo(file).path()))
        return failed(errno);
    const SettingsFileLock lock(file);
    if (!lock.taken())
        return failed(lock.error());
    QByteArray held;
    if (start)
        held = *start;
    else if (const int error = readWhole(file, held); error != 0 && error != ENOENT)
        return failed(error);
    Draft draft(file);
    if (const int error = draft.make(held))
        return failed(error);
    QStringList keys;
    QSettings::Status read;
    {
        QSettings settings(draft.path(), QSettings::IniFormat);
        read = settings.status();
        change(settings);
        keys = sorted(settings.allKeys());
        errno = 0;
        settings.sync();
        // Qt says only that it failed; the system's word is left in errno.
        if (settings.status() == QSettings::AccessError)
            return failed(errno);
    }
    // Read back under a name Qt's settings have not seen: they would answer
    // from what they made.
    if (const int error = draft.rename())
        return failed(error);
    if (!readsWhole(draft.path(), held, keys))
        return failed(ENOSPC);
    if (const int error = draft.place())
        return failed(error);
    // Written with what Qt could read of it, and said damaged, as Qt's own
    // write of a damaged file is.
    return {read, 0};
}

} // namespace ComponentModel
