#include "feeds/DTAppNotification.h"
#include "feeds/DTFeedXml.h"

#include "support/CallbackRecorder.h"
#include "support/LogLines.h"
#include "support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace kestrel::appnotification;
using kestrel::test::CallbackRecorder;
using kestrel::test::HttpReply;
using kestrel::test::LoopbackHttpServer;

typedef CallbackRecorder<bool, notification_ptr> Recorder;

std::vector<std::string> fields(const record& r) {
    return {r.id(), r.date(), r.time(), r.message(), r.version(), r.url()};
}

class AppNotificationFeed : public testing::Test {
protected:
    // The feed read on this thread, as the feed thread reads it.
    notification_ptr fetch(const std::string& xml) {
        server.answer("/n.xml", HttpReply::ok(xml));
        auto received = std::make_shared<Recorder>();
        const bool ok = download(server.url("/n.xml"), received->receiver(), "Orvik Lumivista 1.0.1.50, linux-64");
        const auto calls = received->calls();
        EXPECT_EQ(1u, calls.size());
        EXPECT_TRUE(ok);
        return calls.empty() ? notification_ptr() : std::get<1>(calls[0]);
    }

    LoopbackHttpServer server;
};

TEST_F(AppNotificationFeed, ReadsTheNoticeAndTheUpdatesWithTheirDefaults) {
    const notification_ptr feed = fetch(
        "<notification><id> n7 </id><date>01-02-2013</date><time>10:00:00</time><message>Hello</message>"
        "<url>http://site/news</url><version>9.9.9.9</version>"
        "<update>"
        "<entry name=\"linux-64\"><id>u1</id><date>02-02-2013</date><time>11:00:00</time><message>New!</message>"
        "<version>1.0.2.0</version><url>http://site/get</url></entry>"
        "<entry name=\"linux-64\"><id>u2</id><version>2.0.0.0</version></entry>"
        "<other name=\"windows-32\"><message>Win</message></other>"
        "</update></notification>");
    ASSERT_TRUE(feed);
    EXPECT_EQ(" n7 ", feed->id());
    EXPECT_EQ((std::vector<std::string>{" n7 ", "01-02-2013", "10:00:00", "Hello", "", "http://site/news"}),
              fields(feed->main_record()));
    ASSERT_EQ(3u, feed->update_count());

    record found("x", "x", "x", "x", "x", "x");
    EXPECT_TRUE(feed->find_update("linux-64", found));
    EXPECT_EQ((std::vector<std::string>{"u1", "02-02-2013", "11:00:00", "New!", "1.0.2.0", "http://site/get"}),
              fields(found));
    EXPECT_TRUE(feed->find_update("windows-32", found));
    EXPECT_EQ((std::vector<std::string>{"", "00-00-0000", "00:00:00", "Win", "0.0.0.0", ""}), fields(found));
    for (const char* other : {"Linux-64", "linux-64 ", ""}) {
        EXPECT_FALSE(feed->find_update(other, found)) << other;
        EXPECT_EQ(std::vector<std::string>(6, ""), fields(found));
    }

    std::string name = "x";
    EXPECT_TRUE(feed->update_at(1, name, found));
    EXPECT_EQ("linux-64", name);
    EXPECT_EQ("u2", found.id());
    EXPECT_FALSE(feed->update_at(3, name, found));
    EXPECT_EQ("", name);
    EXPECT_EQ(std::vector<std::string>(6, ""), fields(found));
}

TEST_F(AppNotificationFeed, UnexpectedDocumentsGiveDefaultsNotFailures) {
    const notification_ptr other_root = fetch("<feed><id>1</id><update><e name=\"a\"/></update></feed>");
    ASSERT_TRUE(other_root);
    EXPECT_EQ(std::vector<std::string>(6, ""), fields(other_root->main_record()));
    EXPECT_EQ(0u, other_root->update_count());

    // The update element's own attributes and a comment count as entries.
    const notification_ptr odd = fetch(
        "<notification><id>1</id><update id=\"u7\"><!-- note --><e name=\"a\"><id>2</id></e></update>"
        "</notification>");
    ASSERT_TRUE(odd);
    ASSERT_EQ(3u, odd->update_count());
    std::string name;
    record entry;
    odd->update_at(0, name, entry);
    EXPECT_EQ("", name);
    EXPECT_EQ((std::vector<std::string>{"u7", "00-00-0000", "00:00:00", "", "0.0.0.0", ""}), fields(entry));
    odd->update_at(1, name, entry);
    EXPECT_EQ("", name);
    EXPECT_EQ("", entry.id());
    odd->update_at(2, name, entry);
    EXPECT_EQ("a", name);
    EXPECT_EQ("2", entry.id());
}

// The largest feed holds 260,000 empty entries; an eighth of it is as many
// past the bound and quicker to read. What is kept is bounded, the rest
// said once, and the feed is read on past them.
TEST(AppNotificationDenseFeed, KeepsTheFirstThousandEntries) {
    std::string text = "<notification><update id=\"u0\">";
    std::size_t entries = 1;
    for (; text.size() < kestrel::feeds::max_feed_size / 8; entries += 2)
        text += "<e name=\"x\"/><!---->";
    text += "</update><id>7</id></notification>";
    std::istringstream body(text);
    testing::internal::CaptureStdout();
    const notification_ptr feed = details::parse(body);
    const std::vector<std::string> lines =
        kestrel::test::log_lines_with(testing::internal::GetCapturedStdout(), "[feeds]");

    ASSERT_EQ(max_kept_updates, feed->update_count());
    std::string name;
    record entry;
    EXPECT_TRUE(feed->update_at(0, name, entry));
    EXPECT_EQ("u0", entry.id());
    EXPECT_TRUE(feed->update_at(max_kept_updates - 1, name, entry));
    EXPECT_EQ("x", name);
    EXPECT_EQ("7", feed->id());
    EXPECT_EQ((std::vector<std::string>{"[kestrel][warning][feeds] notification feed: " +
                                        std::to_string(entries - max_kept_updates) +
                                        " update entries past the first 1000 ignored"}),
              lines);
}

TEST_F(AppNotificationFeed, EveryFailureIsOneFalseCallbackAndLoggedOnce) {
    const std::string feed = "<notification><id>1</id><message>Hi</message></notification>";
    server.answer("/missing", HttpReply::status(404, "Not Found", feed));
    server.answer("/empty", HttpReply::ok(""));
    server.answer("/cut", HttpReply::ok(feed.substr(0, 30)));
    server.answer("/html", HttpReply::ok("<html><body>Oops</body>"));
    server.answer("/redirect", HttpReply::redirect(302, "/relative"));
    for (const std::string& address :
         {server.url("/missing"), server.url("/empty"), server.url("/cut"), server.url("/html"),
          server.url("/redirect"), std::string("http://127.0.0.1:0/"), std::string("not a url")}) {
        for (bool throwing : {false, true}) {
            auto received = std::make_shared<Recorder>();
            testing::internal::CaptureStdout();
            EXPECT_FALSE(download(address, throwing ? received->throwing_receiver() : received->receiver(),
                                  default_user_agent()))
                << address;
            // The callback learns only "false": the log says why, once, and
            // then that the receiver failed, if it did.
            const std::string log = testing::internal::GetCapturedStdout();
            const std::vector<std::string> lines =
                kestrel::test::log_lines_with(log, "[kestrel][warning][feeds] \"" + address + "\" ");
            ASSERT_EQ(throwing ? 2u : 1u, lines.size()) << log;
            EXPECT_EQ(std::string::npos, lines[0].find("receiver failed")) << lines[0];
            if (throwing) {
                EXPECT_NE(std::string::npos, lines[1].find("\" receiver failed: receiver failed")) << lines[1];
            }
            const auto calls = received->calls();
            ASSERT_EQ(1u, calls.size()) << address;
            EXPECT_FALSE(std::get<0>(calls[0]));
            EXPECT_FALSE(std::get<1>(calls[0]));
        }
    }
    EXPECT_FALSE(download(server.url("/missing"), callback()));
}

TEST_F(AppNotificationFeed, ThrowingReceiverOfAFeedIsToldOnce) {
    server.answer("/n.xml", HttpReply::ok("<notification><id>1</id></notification>"));
    auto received = std::make_shared<Recorder>();
    EXPECT_TRUE(download(server.url("/n.xml"), received->throwing_receiver()));
    const auto calls = received->calls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_TRUE(std::get<0>(calls[0]));
    EXPECT_NE(std::string::npos, server.requests()[0].find("\r\nUser-Agent: kestrel(Linux)\r\n"));
}

} // namespace
