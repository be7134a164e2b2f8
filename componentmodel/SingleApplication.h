#pragma once
// The program's application object: a QApplication that also settles, at
// construction, whether another instance runs under the same key, and lets a
// second instance hand the first one a message (SingleInstanceChannel). The
// first instance emits messageAvailable from the event loop, at most about a
// second after the message was sent. GUI thread only.

#include "componentmodel/SingleInstanceChannel.h"

#include <QApplication>

namespace ComponentModel {

class SingleApplication : public QApplication {
    Q_OBJECT
public:
    SingleApplication(int& argc, char** argv, const QString& key);
    ~SingleApplication() override;

    bool isRunning() const;
    bool sendMessage(const QString& message);
    // See SingleInstanceChannel::messageTaken.
    bool messageTaken(int ms);
    // See SingleInstanceChannel::release.
    void releaseInstance();
    // See SingleInstanceChannel::lockFilePath.
    QString instanceLockPath() const;

signals:
    void messageAvailable(QString message);

public slots:
    void checkForMessage();

private:
    SingleInstanceChannel* channel_;
};

} // namespace ComponentModel
