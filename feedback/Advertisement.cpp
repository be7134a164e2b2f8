#include "feedback/Advertisement.h"

#include "feedback/EngineText.h"
#include "feedback/FeedText.h"
#include "feedback/ProcessWide.h"
#include "feedback/WebAddresses.h"

#include "componentmodel/EventTypes.h"
#include "componentmodel/GuardedReceiver.h"
#include "componentmodel/Platform.h"

#include "feeds/DTFeedFetch.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFutureWatcher>
#include <QImage>
#include <QLocale>
#include <QPromise>
#include <QtDebug>

#include <exception>
#include <sstream>

namespace Feedback {

namespace {

using kestrel::advertisement::provider;

class AdvertisementEvent : public QEvent {
public:
    AdvertisementEvent(provider::State state, kestrel::advertisement::provider_ptr feed)
        : QEvent(ComponentModel::EventTypes::advertisementFeedEnded), state(state), feed(std::move(feed))
    {
    }
    const provider::State state;
    const kestrel::advertisement::provider_ptr feed;
};

// The feed reader's callback, for every outcome: hands it over.
struct AdvertisementFunctor {
    std::shared_ptr<ComponentModel::GuardedReceiver> receiver;

    void operator()(provider::State state, kestrel::advertisement::provider_ptr feed) const
    {
        receiver->post(std::make_unique<AdvertisementEvent>(state, std::move(feed)));
    }
};

typedef QFutureWatcher<InternalAd> BannerWatcher;

} // namespace

Advertisement::Advertisement(const QString& product, const QString& version, const QString& url,
                             QObject* parent)
    : QObject(parent), mailbox_(std::make_shared<ComponentModel::GuardedReceiver>(this)), banners_(2, 4)
{
    if (QCoreApplication* application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, [this] {
            feedDownload_.cancel();
            banners_.abandon();
        });
    const kestrel::advertisement::locale_parts locale =
        kestrel::advertisement::split_locale_name(toEngineText(QLocale::system().name()));
    provider::start(toEngineText(url), toEngineText(product), toEngineText(ComponentModel::Platform::platform()),
                    toEngineText(version), locale.region, locale.language, AdvertisementFunctor{mailbox_},
                    kestrel::feeds::feed_limits(feedDownload_));
}

Advertisement::~Advertisement()
{
    feedDownload_.cancel();
    banners_.abandon();
    mailbox_->close();
}

void Advertisement::initialize(const QString& product, const QString& version, const QString& url)
{
    Detail::replaceProcessWide(std::make_unique<Advertisement>(product, version, url));
}

Advertisement* Advertisement::instance()
{
    return Detail::processWide<Advertisement>().get();
}

void Advertisement::retreive()
{
    retreive(QString());
}

void Advertisement::retreive(const QString& context)
{
    if (!provider_)
        return;
    kestrel::advertisement::instance_ptr chosen;
    try {
        chosen = provider_->create_instance(toEngineText(context));
    } catch (const std::exception& error) {
        // An item text that is not UTF-8: no advertisement this time.
        qWarning().noquote() << "[Advertisement] none chosen:" << error.what();
        return;
    } catch (...) {
        qWarning().noquote() << "[Advertisement] none chosen";
        return;
    }
    // Shared with the job; a job dropped unrun takes the last holder with
    // it, which finishes the future cancelled and without a result.
    auto banner = std::make_shared<QPromise<InternalAd>>();
    auto* watcher = new BannerWatcher(this);
    connect(watcher, &BannerWatcher::finished, this, &Advertisement::internalRetreived);
    watcher->setFuture(banner->future());
    banner->start();
    banners_.post([banner, chosen](const urdl::cancellation& cancel) {
        banner->addResult(fetchAd(chosen, bannerLimits(cancel)));
        banner->finish();
    });
}

kestrel::feeds::fetch_limits Advertisement::bannerLimits(urdl::cancellation cancel)
{
    return kestrel::feeds::fetch_limits{8 << 20, 60000, std::move(cancel)};
}

InternalAd Advertisement::fetchAd(kestrel::advertisement::instance_ptr ad, const kestrel::feeds::fetch_limits& limits)
{
    InternalAd result;
    result.instance = ad;
    if (!ad)
        return result;
    result.valid = true;
    if (ad->bannerurl().empty())
        return result;
    try {
        std::stringstream body;
        if (kestrel::feeds::fetch_body(ad->bannerurl(), browserUserAgent(), limits, body) ==
            kestrel::feeds::fetch_outcome::not_opened)
            return result;
        // What came before a read failure is kept; the decoder judges it.
        const std::string bytes = body.str();
        result.data = QSharedPointer<QByteArray>::create(bytes.data(), qsizetype(bytes.size()));
    } catch (...) {
        // Out of memory: the advertisement goes without its picture.
        result.data.reset();
    }
    return result;
}

void Advertisement::internalRetreived()
{
    auto* watcher = dynamic_cast<BannerWatcher*>(sender());
    if (!watcher)
        return;
    InternalAd result;
    try {
        if (watcher->future().resultCount() > 0)
            result = watcher->result();
    } catch (const std::exception& error) {
        // The job failed: nothing to show for this request.
        qWarning().noquote() << "[Advertisement] banner job failed:" << error.what();
    } catch (...) {
        qWarning().noquote() << "[Advertisement] banner job failed";
    }
    watcher->deleteLater();
    if (!result.valid || !result.instance)
        return;

    Ad ad;
    ad.valid = true;
    // The feed's bytes read as the UTF-8 they are: read as Latin-1, an id
    // or address would be encoded twice on its way out.
    ad.id = fromFeedText(result.instance->id());
    ad.url = fromFeedText(result.instance->url());
    ad.text = shownFeedText(result.instance->text());
    if (result.data && !result.data->isEmpty())
        ad.pixmap = QPixmap::fromImage(QImage::fromData(*result.data));
    emit retreived(ad);
}

bool Advertisement::event(QEvent* event)
{
    // Before the event is read: the worker made it under the mailbox's lock.
    mailbox_->delivered();
    if (event->type() != ComponentModel::EventTypes::advertisementFeedEnded)
        return QObject::event(event);
    const auto* outcome = static_cast<AdvertisementEvent*>(event);
    if (outcome->state == provider::state_loaded && outcome->feed)
        provider_ = outcome->feed;
    return true;
}

} // namespace Feedback
