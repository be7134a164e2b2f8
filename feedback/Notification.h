#pragma once
// At most one notice a day from the maker's notification feed: a message
// the user has not seen, else the offer of a newer version for this
// platform. The constructor starts the feed download on a thread of the
// feed reader; the parsed feed comes back to this object's thread as a
// posted event (EventTypes::notificationFeedRead) and is checked there. A
// feed that fails leaves no trace in the settings, so the next start tries
// again. The daily state lives in the settings store under "Notification/".
// Texts reach the user bounded and cleaned as FeedText.h says; the
// update's page is opened only when it is a web address (http or https).
// Also the run statistics, counted once per start. GUI thread only;
// deleting the object cancels its download in flight, so nothing of the
// network holds up the program's end.

#include "feeds/DTAppNotification.h"

#include "net/Cancellation.h"

#include <QDate>
#include <QObject>
#include <QString>

#include <memory>

namespace ComponentModel {
class GuardedReceiver;
}

namespace Feedback {

class Notification : public QObject {
    Q_OBJECT
public:
    // url: the feed's address; client: the user agent of the download.
    Notification(const QString& url, const QString& client, QObject* parent = nullptr);
    ~Notification() override;

    bool event(QEvent* event) override;

    // The daily check, against today's local date or a given one.
    void processNotification(kestrel::appnotification::notification_ptr feed);
    void processNotification(const kestrel::appnotification::notification_ptr& feed, const QDate& today);

    // Counts this start in "Notification/runCount", sends it as the event
    // (category, "Run", bucket, earlier starts) when an analytics sender is
    // installed, and opens the "webThanks" page on the first start of a
    // newer version.
    static void registerRun(const QString& category);

signals:
    void messageReceived(QString message);
    // A receiver sets needUpdate to have the update's address opened.
    void updateReceived(QString message, bool& needUpdate);

private:
    std::shared_ptr<ComponentModel::GuardedReceiver> mailbox_;
    urdl::cancellation download_;
};

} // namespace Feedback
