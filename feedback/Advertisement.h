#pragma once
// The process-wide advertisement service. Its constructor starts the
// download of the advertisement feed (for this product, version, platform
// and the system locale's region and language) on a thread of the feed
// reader; the outcome comes back as a posted event
// (EventTypes::advertisementFeedEnded) and a read feed is kept. On request,
// retreive() picks one advertisement for a slot, downloads its banner on a
// thread of the service's own bounded queue (NetworkJobs.h: two at once,
// four more in line, the oldest dropped; never Qt's global thread pool,
// which the window's painting waits for), and a future watcher's finished()
// brings the result to the GUI thread, which emits retreived(): at most one
// signal per request, none while no feed is kept, none when no
// advertisement fits the slot, none for a request dropped from the line. A
// banner that cannot be fetched or read, or is larger than 8 MiB, gives a
// null picture. Nothing thrown by the selection or the download leaves the
// service. GUI thread only. When the application is about to quit (and at
// the latest when the service goes) the feed and the banners in flight are
// cancelled and later requests dropped, and the quit waits for none of
// them. The holder deletes the service after main has returned; downloads
// still running then never reach it.

#include "feedback/Ad.h"
#include "feedback/NetworkJobs.h"

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

// The result of one banner download, from the queue's thread to the GUI
// thread.
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
    // The banner's job: the bytes for a chosen advertisement. Throws
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
    urdl::cancellation feedDownload_;
    NetworkJobs banners_;
};

} // namespace Feedback
