#pragma once
// Tells whether another instance of the program runs for the user and lets
// a later start hand the first one a short text through a shared-memory
// segment named by a key. Segment layout: byte 0 is "0" (nothing waiting)
// or any other value (a message waits: a sender writes "1"), then the
// message in UTF-8 and a 0x00; every copy is cut at the segment's size.
// The first instance sets byte 0 back to "0" as it takes the message: the
// sender's answer, which tells it the first instance's window still
// answers.
// A segment outlives a process that crashed, so the first instance also
// holds a lock for the key while it lives; a newcomer that gets the lock
// knows any segment left behind is stale and takes it over.
// The lock file and the segment are the user's own (SingleInstanceFiles.h):
// where another user's stand under their names, this start runs as an
// instance of its own, reached by no later start, and hands nothing to
// theirs.
// The first instance polls the segment every 1000 ms on the thread that
// made the channel (the GUI thread) and emits messageAvailable for each
// message.

#include "componentmodel/SingleInstanceFiles.h"

#include <QObject>
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

    bool running_ = false;
    SingleInstanceNames names_;
    std::unique_ptr<InstanceLock> lock_;   // while this instance holds it
    std::unique_ptr<HandOffSegment> segment_;
    QTimer pollTimer_;
};

} // namespace ComponentModel
