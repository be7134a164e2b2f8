#include "FeedbackTesting.h"

#include "feedback/Advertisement.h"
#include "feedback/GoogleAnalytics.h"

#include "componentmodel/EventTypes.h"

#include "support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPointer>
#include <QFutureWatcher>
#include <QUrl>

namespace {

using namespace FeedbackTesting;
using kestrel::test::HttpReply;
using kestrel::test::LoopbackHttpServer;

std::string slot(const std::string& context, const std::string& id, const std::string& text,
                 const std::string& banner)
{
    return "<c id=\"" + context + "\"><i rate=\"1\" id=\"" + id + "\"><url>http://link/" + id + "</url><text>" +
           text + "</text><bannerurl>" + banner + "</bannerurl></i></c>";
}

std::string pngBanner()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

class AdvertisementService : public testing::Test {
protected:
    AdvertisementService()
    {
        site.answer("/banner.png", HttpReply::ok(pngBanner(), "image/png"));
        site.answer("/page.html", HttpReply::ok("<html>Sorry</html>", "text/html"));
        site.answer("/ads.xml", HttpReply::ok("<ads><g><p>" +
                                              slot("banner", "ad1", "Gr\xC3\xBC\xC3\x9F" "e", site.url("/banner.png")) +
                                              slot("none", "ad2", "t", "") + slot("html", "ad3", "t", site.url("/page.html")) +
                                              slot("missing", "ad4", "t", site.url("/missing.png")) +
                                              slot("bad", "ad5", "t", "not a url") + slot("broken", "ad6", "\xFF", "") +
                                              "</p></g></ads>"));
    }

    // Every banner job done and its result handed over: each request's
    // watcher goes once it has.
    static void settle(const Feedback::Advertisement& service)
    {
        EXPECT_TRUE(runEventsUntil([&] { return service.findChildren<QFutureWatcherBase*>().isEmpty(); }))
            << "a banner request never ended";
    }

    std::unique_ptr<Feedback::Advertisement> start(const std::string& feed)
    {
        auto service = std::make_unique<Feedback::Advertisement>("slideshow", "1.0.1.50",
                                                                 QString::fromStdString(site.url(feed)));
        QObject::connect(service.get(), &Feedback::Advertisement::retreived,
                         [this](const Feedback::Ad& ad) { received.push_back(ad); });
        return service;
    }

    static void waitForFeed(Feedback::Advertisement& service)
    {
        EventCounter feeds(&service, ComponentModel::EventTypes::advertisementFeedEnded);
        ASSERT_TRUE(runEventsUntil([&] { return feeds.count == 1; }));
    }

    LoopbackHttpServer site;
    std::vector<Feedback::Ad> received;
};

TEST_F(AdvertisementService, BannerArrivesAsPictureOnceTheFeedIsThere)
{
    auto service = start("/ads.xml");
    service->retreive("banner"); // no feed yet: this request is dropped for good
    waitForFeed(*service);
    settle(*service);
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(1u, site.requests().size());

    service->retreive("banner");
    ASSERT_TRUE(runEventsUntil([&] { return !received.empty(); }));
    const Feedback::Ad& ad = received.at(0);
    EXPECT_TRUE(ad.valid);
    EXPECT_EQ("ad1", ad.id);
    EXPECT_EQ("http://link/ad1", ad.url);
    EXPECT_EQ(QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e"), ad.text);
    ASSERT_EQ(QSize(4, 3), ad.pixmap.size());
    EXPECT_EQ(QColor(10, 200, 30), ad.pixmap.toImage().pixelColor(3, 2));
    EXPECT_EQ("GET /banner.png HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(site.port()) +
                  "\r\nAccept: */*\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 6.0)\r\n"
                  "Connection: close\r\n\r\n",
              site.requests().at(1));
    settle(*service);
    EXPECT_EQ(1u, received.size());
}

TEST_F(AdvertisementService, BannerThatIsNoPictureGivesANullPixmap)
{
    auto service = start("/ads.xml");
    waitForFeed(*service);
    // No banner address, an HTML page, a 404 and an address that is no URL;
    // all in flight at once, each with a signal of its own.
    for (const char* name : {"none", "html", "missing", "bad"})
        service->retreive(name);
    settle(*service);
    QStringList ids;
    for (const Feedback::Ad& ad : received) {
        ids << ad.id;
        EXPECT_TRUE(ad.valid);
        EXPECT_EQ("http://link/" + ad.id, ad.url);
        EXPECT_TRUE(ad.pixmap.isNull()) << ad.id.toStdString();
    }
    ids.sort();
    EXPECT_EQ(QStringList({"ad2", "ad3", "ad4", "ad5"}), ids);
}

TEST_F(AdvertisementService, NoSignalWithoutAFittingAdvertisement)
{
    auto service = start("/ads.xml");
    waitForFeed(*service);
    service->retreive("top");    // no such slot
    service->retreive();         // no slot without a name
    service->retreive("broken"); // text that is not UTF-8
    settle(*service);
    EXPECT_TRUE(received.empty());

    auto failed = start("/nothing-here.xml");
    waitForFeed(*failed);
    failed->retreive("banner");
    settle(*failed);
    EXPECT_TRUE(received.empty());

    // Events other than its own still reach QObject: deleteLater works.
    QPointer<Feedback::Advertisement> gone = failed.release();
    gone->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
}

// The feed's UTF-8 id and link go out as their bytes, percent-encoded once.
TEST_F(AdvertisementService, IdAndLinkAreEncodedOnce)
{
    site.answer("/utf8.xml", HttpReply::ok("<ads><g><p>" + slot("s", "caf\xC3\xA9", "t", "") + "</p></g></ads>"));
    LoopbackHttpServer collector;
    qputenv("LUMIVISTA_ANALYTICS_HOST", QByteArray("127.0.0.1:") + QByteArray::number(collector.port()));
    Feedback::GoogleAnalytics::initialize("UA-1", "host.example", "1");
    qunsetenv("LUMIVISTA_ANALYTICS_HOST");

    auto service = start("/utf8.xml");
    waitForFeed(*service);
    service->retreive("s");
    ASSERT_TRUE(runEventsUntil([&] { return !received.empty(); }));
    const Feedback::Ad& ad = received.at(0);
    EXPECT_EQ(QString::fromUtf8("caf\xC3\xA9"), ad.id);
    EXPECT_EQ("http://link/caf%C3%A9", QUrl(ad.url).toString(QUrl::FullyEncoded));

    Feedback::GoogleAnalytics::instance()->addEvent("Advertisement", "Show", ad.id);
    ASSERT_TRUE(collector.wait_for_requests(1));
    const std::string target = collector.targets().at(0);
    EXPECT_NE(std::string::npos, target.find("&utme=5(Advertisement*Show*caf%C3%A9)&")) << target;
}

} // namespace
