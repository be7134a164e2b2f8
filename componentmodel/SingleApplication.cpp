#include "componentmodel/SingleApplication.h"

namespace ComponentModel {

SingleApplication::SingleApplication(int& argc, char** argv, const QString& key)
    : QApplication(argc, argv), channel_(new SingleInstanceChannel(key, this))
{
    connect(channel_, &SingleInstanceChannel::messageAvailable, this, &SingleApplication::messageAvailable);
}

// The channel detaches from the segment before the application goes.
SingleApplication::~SingleApplication()
{
    delete channel_;
}

bool SingleApplication::isRunning() const
{
    return channel_->isRunning();
}

bool SingleApplication::sendMessage(const QString& message)
{
    return channel_->sendMessage(message);
}

bool SingleApplication::messageTaken(int ms)
{
    return channel_->messageTaken(ms);
}

void SingleApplication::releaseInstance()
{
    channel_->release();
}

QString SingleApplication::instanceLockPath() const
{
    return channel_->lockFilePath();
}

void SingleApplication::checkForMessage()
{
    channel_->checkForMessage();
}

} // namespace ComponentModel
