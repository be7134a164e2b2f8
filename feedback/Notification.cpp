#include "feedback/Notification.h"

#include "feedback/EngineText.h"
#include "feedback/FeedText.h"
#include "feedback/VersionNumber.h"

#include "componentmodel/DesktopLauncher.h"
#include "componentmodel/EventTypes.h"
#include "componentmodel/GuardedReceiver.h"
#include "componentmodel/Platform.h"

#include "feeds/DTWebAddress.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSettings>

namespace Feedback {

namespace {

class NotificationEvent : public QEvent {
public:
    explicit NotificationEvent(kestrel::appnotification::notification_ptr feed)
        : QEvent(ComponentModel::EventTypes::notificationFeedRead), feed(std::move(feed))
    {
    }
    const kestrel::appnotification::notification_ptr feed;
};

// The feed reader's callback, on its thread: hands a parsed feed over.
struct NotificationFunctor {
    std::shared_ptr<ComponentModel::GuardedReceiver> receiver;

    void operator()(bool ok, kestrel::appnotification::notification_ptr feed) const
    {
        if (ok && feed)
            receiver->post(std::make_unique<NotificationEvent>(std::move(feed)));
    }
};

} // namespace

Notification::Notification(const QString& url, const QString& client, QObject* parent)
    : QObject(parent), mailbox_(std::make_shared<ComponentModel::GuardedReceiver>(this))
{
    kestrel::appnotification::start(toEngineText(url), NotificationFunctor{mailbox_}, toEngineText(client),
                                    kestrel::feeds::feed_limits(download_));
}

Notification::~Notification()
{
    download_.cancel();
    mailbox_->close();
}

bool Notification::event(QEvent* event)
{
    // Before the event is read: the worker made it under the mailbox's lock.
    mailbox_->delivered();
    if (event->type() != ComponentModel::EventTypes::notificationFeedRead)
        return QObject::event(event);
    processNotification(static_cast<NotificationEvent*>(event)->feed);
    return true;
}

void Notification::processNotification(kestrel::appnotification::notification_ptr feed)
{
    processNotification(feed, QDate::currentDate());
}

void Notification::processNotification(const kestrel::appnotification::notification_ptr& feed,
                                       const QDate& today)
{
    if (!feed)
        return;
    QSettings settings;
    const QDate lastCheck = settings.value(QStringLiteral("Notification/lastDate"), QDate(1975, 2, 28)).toDate();
    if (lastCheck.isValid() && today <= lastCheck)
        return;
    settings.setValue(QStringLiteral("Notification/lastDate"), today);

    const QString seenId = settings.value(QStringLiteral("Notification/commonId")).toString();
    const QString id = fromEngineText(feed->main_record().id());
    const QString message = shownFeedText(feed->main_record().message());
    if (id != seenId && !message.isEmpty()) {
        emit messageReceived(message);
        settings.setValue(QStringLiteral("Notification/commonId"), id);
        return;
    }

    kestrel::appnotification::record update;
    if (!feed->find_update(toEngineText(ComponentModel::Platform::platform()), update))
        return;
    if (!isNewerVersion(fromEngineText(update.version()), QCoreApplication::applicationVersion()))
        return;
    bool needUpdate = false;
    emit updateReceived(shownFeedText(update.message()), needUpdate);
    // Only a web page: the feed comes over plain HTTP from a server a
    // network can change.
    if (needUpdate && kestrel::feeds::is_web_address(update.url()))
        ComponentModel::openUrl(QUrl(fromFeedText(update.url())));
}

} // namespace Feedback
