#include "componentmodel/SingleInstanceChannel.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QDir>
#include <QThread>
#include <QUrl>

#include <cstring>

namespace ComponentModel {

namespace {

QString lockFilePathFor(const QString& key)
{
    return QDir(QDir::tempPath())
        .absoluteFilePath(QString::fromLatin1(QUrl::toPercentEncoding(key)) + QStringLiteral(".instance.lock"));
}

// The segment's lock guards each copy; a lock that fails does not stop it.
class SegmentLock {
public:
    explicit SegmentLock(QSharedMemory& memory) : memory_(memory), locked_(memory.lock()) {}
    ~SegmentLock()
    {
        if (locked_)
            memory_.unlock();
    }
    SegmentLock(const SegmentLock&) = delete;
    SegmentLock& operator=(const SegmentLock&) = delete;

private:
    QSharedMemory& memory_;
    bool locked_;
};

} // namespace

SingleInstanceChannel::SingleInstanceChannel(const QString& key, QObject* parent)
    : QObject(parent), lockFile_(std::make_unique<QLockFile>(lockFilePathFor(key)))
{
    sharedMemory_.setKey(key);
    // Staleness is decided by the owner's process, never by the lock's age.
    lockFile_->setStaleLockTime(0);
    const bool ownsKey = lockFile_->tryLock(0);
    if (!ownsKey) {
        const bool ownerAlive = lockFile_->error() == QLockFile::LockFailedError;
        lockFile_.reset();
        if (attachToRunningInstance(ownerAlive)) {
            running_ = true;
            return;
        }
    } else if (sharedMemory_.attach()) {
        // Left behind by an instance that ended without detaching.
        sharedMemory_.detach();
    }
    createSegment();
}

SingleInstanceChannel::~SingleInstanceChannel()
{
    release();
}

void SingleInstanceChannel::release()
{
    pollTimer_.stop();
    if (sharedMemory_.isAttached())
        sharedMemory_.detach();
    if (lockFile_)
        lockFile_->unlock();
    lockFile_.reset();
}

QString SingleInstanceChannel::lockFilePath() const
{
    return lockFile_ && lockFile_->isLocked() ? lockFile_->fileName() : QString();
}

bool SingleInstanceChannel::attachToRunningInstance(bool ownerAlive)
{
    // A first instance that holds the lock may not have made its segment yet.
    const int tries = ownerAlive ? 20 : 1;
    for (int attempt = 0; attempt < tries; ++attempt) {
        if (sharedMemory_.attach())
            return true;
        if (attempt + 1 < tries)
            QThread::msleep(100);
    }
    return false;
}

void SingleInstanceChannel::createSegment()
{
    if (!sharedMemory_.create(SegmentSize)) {
        // The key is ours, but a stale segment is still held by a process that
        // hangs on to it: take it over rather than run without hand-off.
        const bool adopted = lockFile_ && sharedMemory_.error() == QSharedMemory::AlreadyExists &&
                             sharedMemory_.attach();
        if (!adopted) {
            qDebug("Unable to create single instance.");
            return;
        }
    }
    writeBytes(QByteArrayLiteral("0"));
    connect(&pollTimer_, &QTimer::timeout, this, &SingleInstanceChannel::checkForMessage);
    pollTimer_.start(PollInterval);
}

bool SingleInstanceChannel::sendMessage(const QString& message)
{
    if (!running_)
        return false;
    QByteArray bytes = QByteArrayLiteral("1") + message.toUtf8();
    bytes.append('\0');
    writeBytes(bytes);
    return true;
}

bool SingleInstanceChannel::messageTaken(int ms)
{
    if (!running_ || !sharedMemory_.isAttached())
        return false;
    const QDeadlineTimer deadline(ms);
    for (;;) {
        {
            SegmentLock lock(sharedMemory_);
            if (static_cast<const char*>(sharedMemory_.constData())[0] == '0')
                return true;
        }
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
}

void SingleInstanceChannel::writeBytes(const QByteArray& bytes)
{
    if (!sharedMemory_.isAttached())
        return;
    SegmentLock lock(sharedMemory_);
    const qsizetype count = qMin<qsizetype>(bytes.size(), sharedMemory_.size());
    std::memcpy(sharedMemory_.data(), bytes.constData(), size_t(count));
}

void SingleInstanceChannel::checkForMessage()
{
    if (!sharedMemory_.isAttached())
        return;
    QByteArray bytes;
    {
        SegmentLock lock(sharedMemory_);
        bytes = QByteArray(static_cast<const char*>(sharedMemory_.constData()), sharedMemory_.size());
    }
    if (bytes.isEmpty() || bytes.at(0) == '0')
        return;
    const QByteArray text = bytes.mid(1);
    const qsizetype end = text.indexOf('\0');
    emit messageAvailable(QString::fromUtf8(end < 0 ? text : text.left(end)));
    SegmentLock lock(sharedMemory_);
    static_cast<char*>(sharedMemory_.data())[0] = '0';
}

} // namespace ComponentModel
