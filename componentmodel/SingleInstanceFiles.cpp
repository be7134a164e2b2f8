#include "componentmodel/SingleInstanceFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QUrl>
#include <QtDebug>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ComponentModel {

namespace {

// Permission bits others may not have: on the lock, none that lets them
// write; on the segment, none at all.
const mode_t othersMayWrite = S_IWGRP | S_IWOTH;
const mode_t othersMayUse = S_IRWXG | S_IRWXO;

// Whether `fd` is a regular file of the user's own with none of `closed`.
bool usersOwn(int fd, mode_t closed, struct stat* facts)
{
    return ::fstat(fd, facts) == 0 && S_ISREG(facts->st_mode) && facts->st_uid == ::geteuid() &&
           (facts->st_mode & closed) == 0;
}

bool sameFile(const struct stat& one, const struct stat& other)
{
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// Opened as neither a link followed nor a FIFO waited for.
const int openFlags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

} // namespace

SingleInstanceNames singleInstanceNames(const QString& key, unsigned user, const QString& folder)
{
    const QString stem = QString::fromLatin1(QUrl::toPercentEncoding(key)) + QLatin1Char('-') + QString::number(user);
    const QByteArray folderHash =
        QCryptographicHash::hash(QFile::encodeName(folder), QCryptographicHash::Sha1).toHex().left(16);
    return {QDir(folder).absoluteFilePath(stem + QStringLiteral(".instance.lock")),
            '/' + stem.toLatin1() + '-' + folderHash};
}

InstanceLock::InstanceLock(const QString& path) : path_(path)
{
    const QByteArray file = QFile::encodeName(path);
    // The holder removes its file as it lets go: a file taken once it was
    // removed is none, and is opened again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = ::open(file.constData(), openFlags | O_CREAT, 0600);
        struct stat facts, named;
        if (fd < 0) {
            state_ = ::lstat(file.constData(), &named) == 0 ? State::NotTheUsers : State::Unavailable;
            return;
        }
        if (!usersOwn(fd, othersMayWrite, &facts)) {
            ::close(fd);
            state_ = State::NotTheUsers;
            return;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            state_ = State::Held;
            return;
        }
        if (::stat(file.constData(), &named) == 0 && sameFile(facts, named)) {
            fd_ = fd;
            state_ = State::Taken;
            return;
        }
        ::close(fd);
    }
}

InstanceLock::~InstanceLock()
{
    if (fd_ < 0)
        return;
    const QByteArray file = QFile::encodeName(path_);
    struct stat facts, named;
    if (::fstat(fd_, &facts) == 0 && ::stat(file.constData(), &named) == 0 && sameFile(facts, named))
        ::unlink(file.constData());
    ::close(fd_);
}

// Held for one copy. A lock that does not come within a moment (the
// user's process that holds it stopped) does not stop the copy.
class HandOffSegment::CopyLock {
public:
    explicit CopyLock(int fd) : fd_(fd)
    {
        for (int attempt = 0; attempt < 200 && !locked_; ++attempt) {
            locked_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
            if (!locked_)
                QThread::usleep(1000);
        }
    }
    ~CopyLock()
    {
        if (locked_)
            ::flock(fd_, LOCK_UN);
    }
    CopyLock(const CopyLock&) = delete;
    CopyLock& operator=(const CopyLock&) = delete;

private:
    int fd_;
    bool locked_ = false;
};

std::unique_ptr<HandOffSegment> HandOffSegment::make(const QByteArray& name, int size, bool takeLeftover)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = ::shm_open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::fchmod(fd, 0600);
        } else if (errno == EEXIST) {
            fd = ::shm_open(name.constData(), openFlags, 0);
            struct stat facts = {};
            const bool own = fd >= 0 && usersOwn(fd, othersMayUse, &facts);
            if (!own && fd >= 0 && S_ISREG(facts.st_mode) && facts.st_uid == ::geteuid() && takeLeftover) {
                // The user's, but others may have it open: never used again.
                ::close(fd);
                ::shm_unlink(name.constData());
                continue;
            }
            if (!own) {
                qWarning().noquote() << "[SingleInstance] the hand-off" << name
                                     << "is another user's or open to others: a later start cannot reach this one";
                if (fd >= 0)
                    ::close(fd);
                return nullptr;
            }
            if (!takeLeftover) {
                ::close(fd);
                return nullptr;
            }
        }
        return mapped(name, fd >= 0 && ::ftruncate(fd, size) == 0 ? fd : -1, fd, size, true);
    }
    return nullptr;
}

std::unique_ptr<HandOffSegment> HandOffSegment::mapped(const QByteArray& name, int usable, int fd, int size,
                                                       bool made)
{
    void* data =
        usable >= 0 ? ::mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, usable, 0) : MAP_FAILED;
    if (data == MAP_FAILED) {
        if (fd >= 0)
            ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<HandOffSegment>(new HandOffSegment(name, fd, static_cast<char*>(data), size, made));
}

std::unique_ptr<HandOffSegment> HandOffSegment::open(const QByteArray& name, int size, bool* foreign)
{
    const int fd = ::shm_open(name.constData(), openFlags, 0);
    struct stat facts = {};
    // Refused: another user's, or a link.
    *foreign = fd < 0 ? errno == EACCES || errno == ELOOP : !usersOwn(fd, othersMayUse, &facts);
    // A size of its own: not yet made whole.
    return mapped(name, fd >= 0 && !*foreign && facts.st_size == size ? fd : -1, fd, size, false);
}

HandOffSegment::HandOffSegment(const QByteArray& name, int fd, char* data, int size, bool made)
    : name_(name), fd_(fd), data_(data), size_(size), made_(made)
{
}

HandOffSegment::~HandOffSegment()
{
    ::munmap(data_, size_t(size_));
    if (made_) {
        // Only the one it made: not one made since under its name.
        const int named = ::shm_open(name_.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0);
        struct stat facts, now;
        if (named >= 0 && ::fstat(fd_, &facts) == 0 && ::fstat(named, &now) == 0 && sameFile(facts, now))
            ::shm_unlink(name_.constData());
        if (named >= 0)
            ::close(named);
    }
    ::close(fd_);
}

QByteArray HandOffSegment::read() const
{
    const CopyLock lock(fd_);
    return QByteArray(data_, size_);
}

void HandOffSegment::write(const QByteArray& bytes)
{
    const CopyLock lock(fd_);
    std::memcpy(data_, bytes.constData(), size_t(qMin<qsizetype>(bytes.size(), size_)));
}

} // namespace ComponentModel
