#include "componentmodel/SingleInstanceChannel.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QDir>
#include <QThread>

#include <unistd.h>

namespace ComponentModel {

SingleInstanceChannel::SingleInstanceChannel(const QString& key, QObject* parent)
    : QObject(parent), names_(singleInstanceNames(key, ::geteuid(), QDir::tempPath()))
{
    auto lock = std::make_unique<InstanceLock>(names_.lockFile);
    switch (lock->state()) {
    case InstanceLock::State::Taken:
        lock_ = std::move(lock);
        break;
    case InstanceLock::State::NotTheUsers:
        qWarning().noquote() << "[SingleInstance]" << names_.lockFile
                             << "is another user's or open to others: this start runs as an instance of its own";
        return;
    case InstanceLock::State::Held:
    case InstanceLock::State::Unavailable:
        if (attachToRunningInstance(lock->state() == InstanceLock::State::Held)) {
            running_ = true;
            return;
        }
        break;
    }
    createSegment();
}

SingleInstanceChannel::~SingleInstanceChannel()
{
    release();
}

// The segment goes before the lock: a start that takes the lock from then
// on makes its own.
void SingleInstanceChannel::release()
{
    pollTimer_.stop();
    segment_.reset();
    lock_.reset();
}

QString SingleInstanceChannel::lockFilePath() const
{
    return lock_ ? lock_->path() : QString();
}

bool SingleInstanceChannel::attachToRunningInstance(bool ownerAlive)
{
    // A first instance that holds the lock may not have made its segment yet.
    const int tries = ownerAlive ? 20 : 1;
    for (int attempt = 0; attempt < tries; ++attempt) {
        bool foreign = false;
        segment_ = HandOffSegment::open(names_.segment, SegmentSize, &foreign);
        if (segment_)
            return true;
        if (foreign) {
            qWarning().noquote() << "[SingleInstance] the hand-off" << names_.segment
                                 << "is another user's or open to others: this start runs as an instance of its own";
            return false;
        }
        if (attempt + 1 < tries)
            QThread::msleep(100);
    }
    return false;
}

void SingleInstanceChannel::createSegment()
{
    // Only the lock's holder takes over a segment left behind: another's
    // may be the running instance's.
    segment_ = HandOffSegment::make(names_.segment, SegmentSize, lock_ != nullptr);
    if (!segment_) {
        qDebug("Unable to create single instance.");
        return;
    }
    segment_->write(QByteArrayLiteral("0"));
    connect(&pollTimer_, &QTimer::timeout, this, &SingleInstanceChannel::checkForMessage);
    pollTimer_.start(PollInterval);
}

bool SingleInstanceChannel::sendMessage(const QString& message)
{
    if (!running_ || !segment_)
        return false;
    QByteArray bytes = QByteArrayLiteral("1") + message.toUtf8();
    bytes.append('\0');
    segment_->write(bytes);
    return true;
}

bool SingleInstanceChannel::messageTaken(int ms)
{
    if (!running_ || !segment_)
        return false;
    const QDeadlineTimer deadline(ms);
    for (;;) {
        if (segment_->read().at(0) == '0')
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
}

void SingleInstanceChannel::checkForMessage()
{
    if (!segment_)
        return;
    const QByteArray bytes = segment_->read();
    if (bytes.isEmpty() || bytes.at(0) == '0')
        return;
    const QByteArray text = bytes.mid(1);
    const qsizetype end = text.indexOf('\0');
    emit messageAvailable(QString::fromUtf8(end < 0 ? text : text.left(end)));
    segment_->write(QByteArrayLiteral("0"));
}

} // namespace ComponentModel
