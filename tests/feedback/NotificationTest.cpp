#include "FeedbackTesting.h"

#include "feedback/FeedText.h"
#include "feedback/GoogleAnalytics.h"
#include "feedback/Notification.h"

#include "support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace FeedbackTesting;
using namespace kestrel::appnotification;
using kestrel::test::HttpReply;
using kestrel::test::LoopbackHttpServer;

class NotificationTest : public testing::Test {
protected:
    void SetUp() override
    {
        clearSettings();
        QCoreApplication::setApplicationVersion("1.0.1.50");
    }
    void TearDown() override
    {
        QCoreApplication::setApplicationVersion(QString());
        clearSettings();
    }
    LaunchRecorder launches;
};

notification_ptr feed(const std::string& id, const std::string& message, const std::string& platform = "",
                      const std::string& version = "", const std::string& page = "http://site/get")
{
    auto* data = new feed_data{id, record(id, "", "", message, "", ""), {}};
    if (!platform.empty())
        data->updates.push_back({platform, record("u", "", "", "Update!", version, page)});
    return notification_ptr(new notification(data));
}

const QDate today(2024, 5, 10);

// Unless a case says otherwise: checked yesterday, message "7" seen.
struct DailyCase {
    const char* name;
    notification_ptr feed;
    QStringList outcome; // "message: …", "update: …", "open: …" in order
    bool acceptUpdate = true;
    QDate lastDate = today.addDays(-1);
    QString seenId = "7";
};
void PrintTo(const DailyCase& c, std::ostream* out)
{
    *out << c.name;
}

class DailyCheck : public NotificationTest, public testing::WithParamInterface<DailyCase> {};

TEST_P(DailyCheck, ShowsAtMostOneNoticeADay)
{
    const DailyCase& c = GetParam();
    QSettings settings;
    if (c.lastDate.isValid())
        settings.setValue("Notification/lastDate", c.lastDate);
    settings.setValue("Notification/commonId", c.seenId);
    Feedback::Notification notification("no url", "client");
    QStringList outcome;
    QObject::connect(&notification, &Feedback::Notification::messageReceived,
                     [&](const QString& message) { outcome << "message: " + message; });
    QObject::connect(&notification, &Feedback::Notification::updateReceived, [&](const QString& message, bool& need) {
        outcome << "update: " + message;
        need = c.acceptUpdate;
    });

    notification.processNotification(c.feed, today);

    for (const QString& url : launches.opened)
        outcome << "open: " + url;
    EXPECT_EQ(c.outcome, outcome);
    // A check that ran records the day; one that did not leaves it alone.
    EXPECT_EQ(qMax(today, c.lastDate), settings.value("Notification/lastDate").toDate());
    const bool messageShown = !outcome.isEmpty() && outcome[0].startsWith("message");
    EXPECT_EQ(messageShown ? QString::fromStdString(c.feed->id()) : c.seenId,
              settings.value("Notification/commonId").toString());
}

const QStringList offered{"update: Update!", "open: http://site/get"};
INSTANTIATE_TEST_SUITE_P(
    Table, DailyCheck,
    testing::Values(DailyCase{"FirstCheckShowsTheMessage", feed("8", "Hi", "linux-64", "9.0.0.0"), {"message: Hi"}},
                    DailyCase{"NeverCheckedBefore", feed("7", "Hi"), {"message: Hi"}, true, QDate(), ""},
                    DailyCase{"SecondCheckOfTheDay", feed("8", "Hi"), {}, true, today},
                    DailyCase{"ClockSetBack", feed("8", "Hi"), {}, true, today.addDays(3)},
                    DailyCase{"SeenMessageOffersTheUpdate", feed("7", "Hi", "linux-64", "1.0.1.51"), offered},
                    DailyCase{"NewIdWithoutMessage", feed("8", "", "linux-64", "1.0.1.51"), offered},
                    DailyCase{"ReceiverDeclines", feed("7", "Hi", "linux-64", "1.0.1.51"), {"update: Update!"}, false},
                    DailyCase{"VersionsCompareAsNumbers", feed("7", "Hi", "linux-64", "1.0.1.100"), offered},
                    DailyCase{"OlderAsNumbersNewerAsText", feed("7", "Hi", "linux-64", "1.0.1.6"), {}},
                    DailyCase{"SameVersion", feed("7", "Hi", "linux-64", "1.0.1.50"), {}},
                    DailyCase{"OtherPlatformOnly", feed("7", "Hi", "windows-32", "9.0.0.0"), {}},
                    DailyCase{"Utf8Message", feed("8", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"),
                              {QString::fromUtf8("message: Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC")}},
                    DailyCase{"Latin1Message", feed("8", "Gr\xFC\xDF" "e"),
                              {QString::fromUtf8("message: Gr\xC3\xBC\xC3\x9F" "e")}},
                    DailyCase{"MessageOfAMebibyteIsCut", feed("8", std::string(1 << 20, 'x')),
                              {"message: " + QString(Feedback::maxShownCharacters, 'x') + QChar(0x2026)}},
                    DailyCase{"UpdatePageOnlyOnTheWeb", feed("7", "Hi", "linux-64", "1.0.1.51", "file:///etc/passwd"),
                              {"update: Update!"}}),
    [](const testing::TestParamInfo<DailyCase>& info) { return info.param.name; });

TEST_F(NotificationTest, FeedFromTheSiteIsCheckedOnTheGuiThread)
{
    LoopbackHttpServer site;
    site.answer("/feed.xml", HttpReply::ok("<notification><id>42</id><message>Hi there</message></notification>"));
    QSettings().setValue("Notification/lastDate", QDate::currentDate().addDays(-1));
    Feedback::Notification notification(QString::fromStdString(site.url("/feed.xml")), "Orvik Lumivista 1.0.1.50, linux-64");
    QStringList shown;
    QObject::connect(&notification, &Feedback::Notification::messageReceived,
                     [&](const QString& message) { shown << message; });

    ASSERT_TRUE(runEventsUntil([&] { return !shown.isEmpty(); }));
    EXPECT_EQ(QStringList{"Hi there"}, shown);
    EXPECT_EQ("42", QSettings().value("Notification/commonId").toString());
    EXPECT_NE(std::string::npos, site.requests()[0].find("User-Agent: Orvik Lumivista 1.0.1.50, linux-64\r\n"));
}

struct RunCase {
    int earlierRuns;
    const char* event;
    int runsAfter;
};
void PrintTo(const RunCase& c, std::ostream* out)
{
    *out << c.earlierRuns << " earlier runs";
}

class RunStatistics : public NotificationTest, public testing::WithParamInterface<RunCase> {};

TEST_P(RunStatistics, SendsTheBucketAndCountsTheStart)
{
    LoopbackHttpServer collector;
    qputenv("LUMIVISTA_ANALYTICS_HOST", QByteArray("127.0.0.1:") + QByteArray::number(collector.port()));
    Feedback::GoogleAnalytics::initialize("UA-1", "host", "1");
    qunsetenv("LUMIVISTA_ANALYTICS_HOST");
    QSettings().setValue("Notification/runCount", GetParam().earlierRuns);

    Feedback::Notification::registerRun("Lumivista");

    ASSERT_TRUE(collector.wait_for_requests(1));
    EXPECT_NE(std::string::npos, collector.targets()[0].find(GetParam().event)) << collector.targets()[0];
    EXPECT_EQ(GetParam().runsAfter, QSettings().value("Notification/runCount").toInt());
}

INSTANTIATE_TEST_SUITE_P(Buckets, RunStatistics,
                         testing::Values(RunCase{0, "&utme=5(Lumivista*Run*First)(0)&", 1},
                                         RunCase{9, "&utme=5(Lumivista*Run*Less%20than%2010)(9)&", 10},
                                         RunCase{10, "&utme=5(Lumivista*Run*Less%20than%20100)(10)&", 11},
                                         RunCase{99, "&utme=5(Lumivista*Run*Less%20than%20100)(99)&", 100},
                                         RunCase{100, "&utme=5(Lumivista*Run*More%20than%20100)(100)&", 101},
                                         RunCase{-3, "&utme=5(Lumivista*Run*Less%20than%2010)(-3)&", -2},
                                         RunCase{INT_MAX, "*More%20than%20100)(2147483647)&", INT_MAX}));

TEST_F(NotificationTest, ThanksPageOpensOnTheFirstStartOfANewerVersion)
{
    QSettings settings;
    settings.setValue("webThanks", "http://site/thanks");
    for (const char* stored : {"", "1.0.1.9", "1.0.1.50", "1.0.2.0", "0.9.9.9"}) {
        if (*stored)
            settings.setValue("Notification/lastVersion", stored);
        else
            settings.remove("Notification/lastVersion");
        Feedback::Notification::registerRun("Lumivista");
        EXPECT_EQ("1.0.1.50", settings.value("Notification/lastVersion").toString());
    }
    // The first start ever, the upgrade from 1.0.1.9 and the one from 0.9.9.9.
    EXPECT_EQ(QStringList({"http://site/thanks", "http://site/thanks", "http://site/thanks"}), launches.opened);
    EXPECT_EQ(5, settings.value("Notification/runCount").toInt());
}

} // namespace
