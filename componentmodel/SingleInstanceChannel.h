#pragma once
// Tells whether another instance of the program runs and lets a later
// instance hand the first one a short text through a shared-memory segment
// named by a key. Segment layout: byte 0 is "0" (nothing waiting) or any
// other value (a message waits: a sender writes "1"), then the message in
// UTF-8 and a 0x00; every copy is cut at the segment's size. The first
// instance sets byte 0 back to "0" as it takes the message: the sender's
// answer, which tells it the first instance's window still answers.
// A segment outlives a process that crashed, so the first instance also holds
// a lock file for the key while it lives; a newcomer that gets the lock knows
// any segment left behind is stale, removes it and makes a fresh one.
// The first instance polls the segment every 1000 ms on the thread that made
// the channel (the GUI thread) and emits messageAvailable for each message.

#include <QLockFile>
#include <QObject>
#include <QSharedMemory>
#include <QTimer>

#include <memory>

namespace ComponentModel {

class SingleInstanceChannel : public QObject {
    Q_OBJECT
public:
    // Room for the marker, a message of 4094 bytes of UTF-8 and its 0x00.
    static constexpr int SegmentSize = 4096;
    static constexpr int PollInterval = 1000;

    explicit SingleInstanceChannel(const QString& key, QObject* parent = nullptr);
    ~SingleInstanceChannel() override;

    // True when another instance held the key at construction.
    bool isRunning() const { return running_; }
    // The lock file of the key while this instance holds it; empty in a
    // later instance and once released.
    QString lockFilePath() const;
    // Writes the message for the first instance; false (nothing written) in
    // the first instance itself.
    bool sendMessage(const QString& message);
    // Whether the first instance took the message sent (or one sent after
    // it) within `ms`, looking every 50 ms; false in the first instance.
    bool messageTaken(int ms);
    // The first instance lets the key go while it ends (its window gone,
    // maybe threads still waiting for a disk): a start from then on is a
    // first instance of its own. Nothing more is received.
    void release();

signals:
    void messageAvailable(QString message);

public slots:
    void checkForMessage();

private:
    bool attachToRunningInstance(bool ownerAlive);
    void createSegment();
    void writeBytes(const QByteArray& bytes);

    bool running_ = false;
    QSharedMemory sharedMemory_;
    std::unique_ptr<QLockFile> lockFile_;
    QTimer pollTimer_;
};

} // namespace ComponentModel
