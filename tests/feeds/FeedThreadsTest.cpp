#include "feeds/DTAdvertisementProvider.h"
#include "feeds/DTAppNotification.h"
#include "feeds/DTServiceAddress.h"

#include "support/CallbackRecorder.h"
#include "support/LoopbackHttpServer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using kestrel::test::CallbackRecorder;
using kestrel::test::HttpReply;
using kestrel::test::LoopbackHttpServer;
namespace advertisement = kestrel::advertisement;
namespace appnotification = kestrel::appnotification;

typedef CallbackRecorder<advertisement::provider::State, advertisement::provider_ptr> AdRecorder;
typedef CallbackRecorder<bool, appnotification::notification_ptr> NoticeRecorder;

// The site's address comes from the environment, as a test install sets it.
class FeedThreads : public testing::Test {
protected:
    void SetUp() override { setenv("LUMIVISTA_WEB_BASE", server.url("/").c_str(), 1); }
    void TearDown() override { unsetenv("LUMIVISTA_WEB_BASE"); }

    std::string expected_request(const std::string& target, const std::string& agent) const {
        return "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
               "\r\nAccept: */*\r\nUser-Agent: " + agent + "\r\nConnection: close\r\n\r\n";
    }

    LoopbackHttpServer server;
};

TEST_F(FeedThreads, AdvertisementFeedArrivesOnItsOwnThread) {
    server.answer("/files/advertisement/lumivista.xml",
                  HttpReply::ok("<ads><g><p os=\"linux-64\"><c id=\"banner\"><i rate=\"2\" id=\"a\"/></c></p></g></ads>"));
    auto received = std::make_shared<AdRecorder>();
    EXPECT_TRUE(advertisement::provider::start(kestrel::services::advertisement_feed_url(), "slideshow",
                                               "linux-64", "1.0.1.50", "", "C", received->receiver()));
    const auto calls = received->wait_for(1);
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(advertisement::provider::state_loaded, std::get<0>(calls[0]));
    ASSERT_TRUE(std::get<1>(calls[0]));
    const advertisement::instance_ptr ad = std::get<1>(calls[0])->create_instance("banner");
    ASSERT_TRUE(ad);
    EXPECT_EQ("a", ad->id());
    EXPECT_NE(std::this_thread::get_id(), received->threads()[0]);
    EXPECT_EQ(expected_request("/files/advertisement/lumivista.xml", "kestrel(Linux)"), server.requests().at(0));
}

TEST_F(FeedThreads, AdvertisementAddressThatIsNoUrlIsReportedAtOnce) {
    auto received = std::make_shared<AdRecorder>();
    EXPECT_FALSE(advertisement::provider::start("no url", "slideshow", "linux-64", "1.0.1.50", "GB", "en",
                                                received->receiver()));
    const auto calls = received->calls(); // already there: no thread was started
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(advertisement::provider::state_bad_url, std::get<0>(calls[0]));
    EXPECT_FALSE(std::get<1>(calls[0]));
    EXPECT_EQ(std::this_thread::get_id(), received->threads()[0]);
    EXPECT_EQ(1u, received->wait_for(1).size());
    EXPECT_FALSE(advertisement::provider::start("no url", "", "", "", "", "", advertisement::provider::callback()));
}

TEST_F(FeedThreads, NotificationFeedArrivesOnItsOwnThread) {
    server.answer("/files/notification/lumivista.xml",
                  HttpReply::ok("<notification><id>7</id><message>Hi</message></notification>"));
    auto received = std::make_shared<NoticeRecorder>();
    const std::string agent = "Orvik Lumivista 1.0.1.50, linux-64";
    EXPECT_TRUE(appnotification::start(kestrel::services::notification_feed_url(), received->receiver(), agent));
    const auto calls = received->wait_for(1);
    ASSERT_EQ(1u, calls.size());
    EXPECT_TRUE(std::get<0>(calls[0]));
    ASSERT_TRUE(std::get<1>(calls[0]));
    EXPECT_EQ("Hi", std::get<1>(calls[0])->main_record().message());
    EXPECT_NE(std::this_thread::get_id(), received->threads()[0]);
    EXPECT_EQ(expected_request("/files/notification/lumivista.xml", agent), server.requests().at(0));

    // A missing feed: one failure, from the feed thread.
    auto failed = std::make_shared<NoticeRecorder>();
    EXPECT_TRUE(appnotification::start(server.url("/gone.xml"), failed->throwing_receiver()));
    const auto failures = failed->wait_for(1);
    ASSERT_EQ(1u, failures.size());
    EXPECT_FALSE(std::get<0>(failures[0]));
}

// Nobody is told but the log.
TEST_F(FeedThreads, NotificationAddressThatIsNoUrlStartsNothing) {
    auto received = std::make_shared<NoticeRecorder>();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(appnotification::start("http://[broken", received->receiver()));
    EXPECT_THAT(testing::internal::GetCapturedStdout(),
                testing::StartsWith("[kestrel][warning][feeds] \"http://[broken\" not a URL: "));
    EXPECT_TRUE(received->wait_for(0).empty());
    EXPECT_TRUE(server.requests().empty());
}

} // namespace
