#include "componentmodel/SettingsFileLock.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstdlib>

namespace ComponentModel {

namespace {

// A writer fills its lock in the moment after making it; one still empty
// after this long was left so.
const qint64 emptyGraceMs = 1000;

const unsigned long retryMs = 20;

// Whether the lock at `lock` (held by someone, as a failed take said) names
// no owner and has not for the grace: it was left so.
bool leftNameless(const QLockFile& lock, const QString& path)
{
    qint64 pid = 0;
    QString host, application;
    if (lock.getLockInfo(&pid, &host, &application))
        return false;
    const QFileInfo file(path);
    return file.exists() &&
           std::abs(file.lastModified().msecsTo(QDateTime::currentDateTime())) > emptyGraceMs;
}

} // namespace

SettingsFileLock::SettingsFileLock(const QString& file, std::chrono::milliseconds patience)
    : lock_(file + QStringLiteral(".lock"))
{
    const QString path = file + QStringLiteral(".lock");
    const QDeadlineTimer deadline(patience);
    for (;;) {
        errno = 0;
        // A lock whose owner has gone, Qt removes as it tries.
        if (lock_.tryLock(0))
            return;
        const int failure = errno;
        if (lock_.error() != QLockFile::LockFailedError) {
            // Its making failed: a read-only folder, a full disk.
            error_ = lock_.error() == QLockFile::PermissionError ? (failure ? failure : EACCES) : failure;
            if (error_ == 0)
                error_ = EIO;
            return;
        }
        // Removed only where no process holds it open and locked, so a
        // writer between making and naming it keeps it.
        if (leftNameless(lock_, path) && lock_.removeStaleLockFile())
            continue;
        if (deadline.hasExpired()) {
            error_ = EAGAIN;
            return;
        }
        QThread::msleep(retryMs);
    }
}

bool removeAbandonedLock(const QString& lockFile)
{
    QLockFile lock(lockFile);
    if (!QFileInfo::exists(lockFile))
        return true;
    if (lock.tryLock(0)) {
        // Taken, the dead owner's removed: ours goes with the unlock.
        lock.unlock();
        return true;
    }
    return lock.error() == QLockFile::LockFailedError && leftNameless(lock, lockFile) && lock.removeStaleLockFile();
}

} // namespace ComponentModel
