#pragma once
// The process-wide advertisement service. Its constructor starts the
// download of the advertisement feed (for this product, version, platform
// and the system locale's region and language) on a thread of the feed
// reader; the outcome comes back as a posted event
// (EventTypes::advertisementFeedEnded) and a read feed is kept. On request,
// retreive() picks one advertisement for a slot, downloads its banner on
// Qt's global thread pool and emits retreived() on the GUI thread: at most
// one signal per request, none while no feed is kept, none when no
// advertisement fits the slot. A banner that cannot be fetched or read, or
// is larger than 8 MiB, gives a null picture. Nothing thrown by the
// selection or the download leaves the service. GUI thread only. When the
// application is about to quit (and at the latest when the service goes)
// every download of the service in flight is cancelled and later ones fail
// at once, so Qt's pool, which the application waits for as it ends, never
// waits for the network. The holder deletes the service after main has
// returned; downloads still running then never reach it.

#include "feedback/Ad.h"

#include "feeds/DTAdvertisementProvider.h"

#include "net/Cancellation.h"

#include <QByteArray>
#include <QObject>
#include <QSharedPointer>
#include <QString>

#include <memory>

namespace ComponentModel {
class GuardedReceiver;
}

namespace Feedback {

// The result of one banner download, from the pool thread to the GUI thread.
struct InternalAd {
    bool valid = false; // an advertisement was chosen
    kestrel::advertisement::instance_ptr instance;
    QSharedPointer<QByteArray> data; // the banner's bytes; null when not fetched
};

class Advertisement : public QObject {
    Q_OBJECT
public:
    // product: the product key; url: the feed's address.
    Advertisement(const QString& product, const QString& version, const QString& url, QObject* parent = nullptr);
    ~Advertisement() override;

    // Installs a new service and deletes the one it replaces.
    static void initialize(const QString& product, const QString& version, const QString& url);
    // The installed service, or null before initialize().
    static Advertisement* instance();

    Q_INVOKABLE void retreive(const QString& context);
    Q_INVOKABLE void retreive();

    // A banner: 8 MiB within a minute.
    static kestrel::feeds::fetch_limits bannerLimits(urdl::cancellation cancel = urdl::cancellation());
    // The pool job: the banner's bytes for a chosen advertisement. Throws
    // nothing.
    static InternalAd fetchAd(kestrel::advertisement::instance_ptr ad,
                              const kestrel::feeds::fetch_limits& limits = bannerLimits());

    bool event(QEvent* event) override;

signals:
    void retreived(Feedback::Ad ad);

private slots:
    // A banner download of this service has finished.
    void internalRetreived();

private:
    kestrel::advertisement::provider_ptr provider_;
    std::shared_ptr<ComponentModel::GuardedReceiver> mailbox_;
    urdl::cancellation downloads_; // the feed and every banner
};

} // namespace Feedback
