#include "componentmodel/GuardedReceiver.h"

#include "componentmodel/EventTypes.h"

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

namespace {

struct CallEvent : QEvent {
    explicit CallEvent(std::function<void()> c) : QEvent(EventTypes::queuedCall), call(std::move(c)) {}
    std::function<void()> call;
};

} // namespace

bool GuardedReceiver::postCall(std::function<void()> call)
{
    return post(std::make_unique<CallEvent>(std::move(call)));
}

bool GuardedReceiver::handled(QEvent* event)
{
    delivered();
    if (event->type() != EventTypes::queuedCall)
        return false;
    static_cast<CallEvent*>(event)->call();
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
