#include "feedback/AnalyticsHit.h"
#include "feedback/GoogleAnalytics.h"

#include "support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <QPointer>

#include <random>

namespace {

using Feedback::AnalyticsEvent;
using kestrel::test::LoopbackHttpServer;

struct EventCase {
    AnalyticsEvent event;
    const char* text;
};
void PrintTo(const EventCase& c, std::ostream* out)
{
    *out << QStringList{c.event.category, c.event.action, c.event.label, c.event.value}.join('|').toStdString();
}

class AnalyticsEventText : public testing::TestWithParam<EventCase> {};

TEST_P(AnalyticsEventText, EncodesPartsAndSendsOnlyWholeNumbers)
{
    EXPECT_EQ(Feedback::eventText(GetParam().event).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AnalyticsEventText,
    testing::Values(EventCase{{"Lumivista", "Run", "First", "0"}, "Lumivista*Run*First)(0"},
                    EventCase{{"category", "action", "", "3"}, "category*action)(3"},
                    EventCase{{"c", "a", "l", "abc"}, "c*a*l"}, EventCase{{"c", "a", "l", "1.5"}, "c*a*l"},
                    EventCase{{"c", "a", "", ""}, "c*a"}, EventCase{{"c", "a", "l", " 3"}, "c*a*l)(%203"},
                    EventCase{{"Lumivista", "Run", "Less than 10", "9"}, "Lumivista*Run*Less%20than%2010)(9"},
                    EventCase{{"a*b(c)", QString::fromUtf8("\xC3\xA9"), "~-._", "-12"},
                              "a%2Ab%28c%29*%C3%A9*~-._)(-12"}));

// The numbers of a hit, drawn the way the collector's old client did: two
// 15-bit draws of Qt's generator for a 32-bit seed (std::mt19937 over
// std::seed_seq) make one number, reduced to eight digits.
std::vector<int> hitNumbers(quint32 seed)
{
    std::seed_seq sequence{seed};
    std::mt19937 engine(sequence);
    std::vector<int> numbers;
    for (int i = 0; i < 3; ++i) {
        const quint32 high = engine() >> 17;
        const quint32 low = engine() >> 17;
        numbers.push_back(10000000 + int(((high << 16) | low) % 90000000u));
    }
    return numbers;
}

const QDateTime localEpoch(QDate(1970, 1, 1), QTime(0, 0));
const Feedback::AnalyticsAccount account{"127.0.0.1:1", "UA-58301742-7", "lumivista.example", "123456789"};

TEST(AnalyticsHit, IsReceivedByteForByteWithKeepAliveAndTheBrowserAgent)
{
    LoopbackHttpServer collector;
    Feedback::AnalyticsAccount here = account;
    here.collectorHost = QStringLiteral("127.0.0.1:%1").arg(collector.port());
    // 1700000000123 ms: its low 32 bits are 3487918203, which seeds with 2121.
    const QDateTime now = localEpoch.addMSecs(1700000000123);
    const std::vector<int> r = hitNumbers(2121);

    Feedback::GoogleAnalytics::sendRequest(
        Feedback::eventHitUrl(here, {"Lumivista", "Run", "Less than 10", "9"}, now, QSize(1920, 1080)));

    const std::string t = "1700000000";
    const std::string expected =
        "GET /__utm.gif?utmwv=5.1.1&utms=3&utmn=" + std::to_string(r[0]) +
        "&utmhn=lumivista.example&utmt=event&utme=5(Lumivista*Run*Less%20than%2010)(9)&utmcs=UTF-8"
        "&utmsr=1920x1080&utmsc=24-bit&utmul=en-us&utmje=0&utmfl=10.0%20r2&utmdt=-&utmhid=" +
        std::to_string(r[1]) + "&utmr=-&utmp=%2F&utmac=UA-58301742-7&utmcc=__utma%3D123456789." +
        std::to_string(r[2]) + "." + t + "." + t + "." + t + ".1%3B%2B__utmz%3D123456789." + t +
        ".1.1.utmcsr%3D(direct)%7Cutmccn%3D(direct)%7Cutmcmd%3D(none)%3B&utmu=6AAAAAAAAAAAAAAAQ~ HTTP/1.0\r\n"
        "Host: 127.0.0.1:" + std::to_string(collector.port()) +
        "\r\nAccept: */*\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 6.0)\r\n"
        "Connection: Keep-Alive\r\n\r\n";
    ASSERT_EQ(1u, collector.requests().size());
    EXPECT_EQ(expected, collector.requests()[0]);

    // A hit that cannot go out ends silently.
    Feedback::GoogleAnalytics::sendRequest("http://bad host/__utm.gif?x");
    Feedback::GoogleAnalytics::sendRequest("http://127.0.0.1:1/__utm.gif?x");
}

TEST(AnalyticsHit, HitsOfOneMillisecondShareTheirNumbers)
{
    const AnalyticsEvent event{"c", "a", "", ""};
    const QDateTime now = localEpoch.addMSecs(1700000000123);
    EXPECT_EQ(Feedback::eventHitUrl(account, event, now, QSize()),
              Feedback::eventHitUrl(account, event, now, QSize()));
    EXPECT_NE(Feedback::eventHitUrl(account, event, now, QSize()),
              Feedback::eventHitUrl(account, event, now.addMSecs(1), QSize()));
}

TEST(GoogleAnalytics, SenderSendsToTheConfiguredCollectorAndIsReplacedWhole)
{
    LoopbackHttpServer collector;
    qputenv("LUMIVISTA_ANALYTICS_HOST", QByteArray("127.0.0.1:") + QByteArray::number(collector.port()));
    Feedback::GoogleAnalytics::initialize("UA-1", "first.example", "1");
    QPointer<Feedback::GoogleAnalytics> first = Feedback::GoogleAnalytics::instance();
    Feedback::GoogleAnalytics::initialize("UA-2", "second.example", "2");
    qunsetenv("LUMIVISTA_ANALYTICS_HOST");
    EXPECT_TRUE(first.isNull());

    const qint64 before = localEpoch.secsTo(QDateTime::currentDateTime());
    Feedback::GoogleAnalytics::instance()->addEvent("Lumivista", "Show Help");
    ASSERT_TRUE(collector.wait_for_requests(1));
    const QString target = QString::fromStdString(collector.targets()[0]);
    EXPECT_TRUE(target.startsWith("/__utm.gif?utmwv=5.1.1&utms=3&utmn=")) << target.toStdString();
    EXPECT_TRUE(target.contains("&utmhn=second.example&utmt=event&utme=5(Lumivista*Show%20Help)&"));
    EXPECT_TRUE(target.contains("&utmac=UA-2&utmcc=__utma%3D2."));
    const qint64 sent = target.section("__utmz%3D2.", 1).section('.', 0, 0).toLongLong();
    EXPECT_GE(sent, before);
    EXPECT_LE(sent, before + 5);
}

} // namespace
