#include "componentmodel/GuardedReceiver.h"

#include <QCoreApplication>
#include <QEvent>

namespace ComponentModel {

GuardedReceiver::GuardedReceiver(QObject* receiver) : receiver_(receiver) {}

bool GuardedReceiver::post(std::unique_ptr<QEvent> event)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!receiver_)
        return false;
    QCoreApplication::postEvent(receiver_, event.release());
    return true;
}

void GuardedReceiver::close()
{
    std::lock_guard<std::mutex> lock(mutex_);
    receiver_ = nullptr;
}

void GuardedReceiver::delivered()
{
    std::lock_guard<std::mutex> lock(mutex_);
}

} // namespace ComponentModel
