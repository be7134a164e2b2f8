#include "FeedbackTesting.h"

#include "feedback/Advertisement.h"
#include "feedback/GoogleAnalytics.h"

#include "componentmodel/EventTypes.h"

#include "support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QThreadPool>

#include <algorithm>
#include <chrono>

namespace {

using kestrel::test::HttpReply;
using kestrel::test::LoopbackHttpServer;

// The threads of the process now.
int threadCount()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

// Deleted, the services cancel their downloads in flight: the threads that
// ran them end at once rather than after the banner's minute or the hit's
// ten seconds, and no download ran on Qt's global pool.
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
    FeedbackTesting::EventCounter feeds(advertisement.get(), ComponentModel::EventTypes::advertisementFeedEnded);
    ASSERT_TRUE(FeedbackTesting::runEventsUntil([&] { return feeds.count == 1; }));
    const int before = threadCount();

    advertisement->retreive("banner");
    analytics->addEvent("Lumivista", "Quit");
    ASSERT_TRUE(site.wait_for_requests(3));
    EXPECT_EQ(0, QThreadPool::globalInstance()->activeThreadCount());
    EXPECT_GT(threadCount(), before);
    advertisement.reset();
    analytics.reset();
    EXPECT_TRUE(FeedbackTesting::runEventsUntil([&] { return threadCount() <= before; }, 5000))
        << threadCount() - before << " threads of the downloads still run";
}

std::string pieces(int count)
{
    return std::string(count, ' ');
}

// Downloads still running when main returns: a banner and a hit, whose
// requests the site has seen (each answered over two seconds, so that they
// still run however late main returns); the replaced service cancelled its
// feed (two seconds long) as it went.
TEST(ProcessWideServices, AreDeletedAfterMainWithDownloadsStillRunning)
{
    LoopbackHttpServer site;
    HttpReply slowFeed = HttpReply::raw("HTTP/1.0 200 OK\r\n\r\n<ads>");
    slowFeed.pieces.resize(100, " ");
    site.answer("/slow-ads.xml", slowFeed);
    site.answer("/ads.xml", HttpReply::ok("<ads><g><p><c id=\"banner\"><i rate=\"1\" id=\"a\"><bannerurl>" +
                                          site.url("/banner.png") + "</bannerurl></i></c></p></g></ads>"));
    HttpReply slow = HttpReply::raw("HTTP/1.0 200 OK\r\n\r\n");
    slow.pieces.resize(100, pieces(10));
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
    ASSERT_TRUE(site.wait_for_path("/banner.png", 1, std::chrono::seconds(30)));
    ASSERT_TRUE(site.wait_for_path("/__utm.gif", 1, std::chrono::seconds(30)));
    peer.write("go\n");
    peer.closeWriteChannel();
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
