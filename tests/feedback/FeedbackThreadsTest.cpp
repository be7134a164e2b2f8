#include "FeedbackTesting.h"

#include "feedback/Advertisement.h"
#include "feedback/GoogleAnalytics.h"
#include "feedback/GuardedReceiver.h"

#include "support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QProcess>
#include <QThreadPool>

#include <atomic>
#include <thread>

namespace {

using kestrel::test::HttpReply;
using kestrel::test::LoopbackHttpServer;

class Counting : public QObject {
public:
    explicit Counting(std::atomic<int>& handled) : handled_(handled) {}
    std::shared_ptr<Feedback::GuardedReceiver> mailbox = std::make_shared<Feedback::GuardedReceiver>(this);
    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        mailbox->delivered();
        ++handled_;
        return true;
    }

private:
    std::atomic<int>& handled_;
};

TEST(GuardedReceiver, WorkersNeverReachAReceiverThatIsGone)
{
    std::atomic<int> handled{0};
    std::atomic<int> posted{0};
    auto* receiver = new Counting(handled);
    auto mailbox = receiver->mailbox;
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i)
        workers.emplace_back([mailbox, &posted] {
            while (mailbox->post(std::make_unique<QEvent>(QEvent::User)))
                ++posted;
        });
    while (posted < 100)
        std::this_thread::yield();
    QCoreApplication::processEvents();
    mailbox->close(); // as the receiver's destructor does
    delete receiver;  // and drops what is still queued for it
    for (std::thread& worker : workers)
        worker.join(); // each stopped only because the mailbox closed
    EXPECT_GE(handled.load(), 100);
    EXPECT_FALSE(mailbox->post(std::make_unique<QEvent>(QEvent::User)));
}

// Deleted, the services cancel their downloads in flight: Qt's pool, which
// the application waits for as it ends, is free at once rather than after
// the banner's minute or the hit's ten seconds.
TEST(ProcessWideServices, CancelTheirDownloadsInFlightAsTheyGo)
{
    LoopbackHttpServer site;
    site.answer_otherwise(HttpReply::silent());
    site.answer("/ads.xml", HttpReply::ok("<ads><g><p><c id=\"banner\"><i rate=\"1\" id=\"a\"><bannerurl>" +
                                          site.url("/banner.png") + "</bannerurl></i></c></p></g></ads>"));
    qputenv("LUMIVISTA_ANALYTICS_HOST", QByteArray("127.0.0.1:") + QByteArray::number(site.port()));
    auto analytics = std::make_unique<Feedback::GoogleAnalytics>("UA-1", "host", "1");
    qunsetenv("LUMIVISTA_ANALYTICS_HOST");
    auto advertisement = std::make_unique<Feedback::Advertisement>("slideshow", "1.0.1.50",
                                                                   QString::fromStdString(site.url("/ads.xml")));
    FeedbackTesting::EventCounter feeds(advertisement.get(), QEvent::User + 5);
    ASSERT_TRUE(FeedbackTesting::runEventsUntil([&] { return feeds.count == 1; }));

    advertisement->retreive("banner");
    analytics->addEvent("Lumivista", "Quit");
    ASSERT_TRUE(site.wait_for_requests(3));
    advertisement.reset();
    analytics.reset();
    // Watched, not waited for: the pool's clean-up after a wait is invisible
    // to the race checker, which takes it for a race.
    EXPECT_TRUE(FeedbackTesting::runEventsUntil(
        [] { return QThreadPool::globalInstance()->activeThreadCount() == 0; }, 5000));
}

std::string pieces(int count)
{
    return std::string(count, ' ');
}

// Downloads still running when main returns: a banner and a hit (each
// answered in 300 ms); the replaced service cancelled its feed (two seconds
// long) as it went.
TEST(ProcessWideServices, AreDeletedAfterMainWithDownloadsStillRunning)
{
    LoopbackHttpServer site;
    HttpReply slowFeed = HttpReply::raw("HTTP/1.0 200 OK\r\n\r\n<ads>");
    slowFeed.pieces.resize(100, " ");
    site.answer("/slow-ads.xml", slowFeed);
    site.answer("/ads.xml", HttpReply::ok("<ads><g><p><c id=\"banner\"><i rate=\"1\" id=\"a\"><bannerurl>" +
                                          site.url("/banner.png") + "</bannerurl></i></c></p></g></ads>"));
    HttpReply slow = HttpReply::raw("HTTP/1.0 200 OK\r\n\r\n");
    slow.pieces.resize(15, pieces(10));
    site.answer("/banner.png", slow);
    site.answer("/__utm.gif", slow);

    QProcess peer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString raceOptions = environment.value("TSAN_OPTIONS");
    environment.insert("TSAN_OPTIONS", (raceOptions.isEmpty() ? "" : raceOptions + ":") +
                                           "suppressions=" FEEDBACK_PEER_TSAN_SUPPRESSIONS);
    peer.setProcessEnvironment(environment);
    peer.start(FEEDBACK_EXIT_PEER,
               {QString::fromStdString(site.url("")), QStringLiteral("127.0.0.1:%1").arg(site.port())});
    ASSERT_TRUE(peer.waitForFinished(30000));
    EXPECT_EQ(QProcess::NormalExit, peer.exitStatus());
    EXPECT_EQ(0, peer.exitCode()) << peer.readAllStandardError().toStdString();
    EXPECT_EQ("replaced advertisement deleted\nadvertisement deleted\nanalytics deleted\n",
              peer.readAllStandardOutput().toStdString());
    const std::vector<std::string> targets = site.targets();
    for (const char* target : {"/ads.xml", "/banner.png"})
        EXPECT_NE(targets.end(), std::find(targets.begin(), targets.end(), target)) << target;
}

} // namespace
