// The online services against a server that misbehaves on purpose: whatever
// it does, the notification feed, the advertisement feed and a banner each
// end in one failure within their bounds, and the process's peak memory
// stays bounded; and a feed's addresses are used only on the web.

#include "FeedbackTesting.h"

#include "feedback/Advertisement.h"

#include "feeds/DTAdvertisementProvider.h"
#include "feeds/DTAppNotification.h"

#include "support/CallbackRecorder.h"
#include "support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <QImage>

#include <fstream>
#include <functional>
#include <sstream>

namespace {

using kestrel::test::CallbackRecorder;
using kestrel::test::HttpReply;
using kestrel::test::LoopbackHttpServer;
namespace advertisement = kestrel::advertisement;
namespace appnotification = kestrel::appnotification;

// A field of /proc/self/status in bytes ("VmHWM": the peak resident size).
std::size_t statusBytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, field.size() + 1, field + ":") == 0)
            return std::stoul(line.substr(field.size() + 1)) * 1024;
    return 0;
}

// Starts a new peak at the present size, where the kernel allows it.
void resetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

const std::string answerHead = "HTTP/1.0 200 OK\r\n\r\n";
// The banner's 8 MiB, its copies and the sanitizer's quarantine stay well
// below; a download without a bound passes it within the half second.
const std::size_t peakBound = 96u << 20;

struct HostileCase {
    const char* name;
    std::function<HttpReply(const LoopbackHttpServer&)> reply;
};

class HostileServer : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileServer, EveryDownloadFailsOnceWithinBoundedMemory)
{
    LoopbackHttpServer server;
    server.answer_otherwise(GetParam().reply(server));
    const std::string address = server.url("/hostile");
    // A whole request takes half a second here, a minute in the program.
    kestrel::feeds::fetch_limits feedLimits = kestrel::feeds::feed_limits();
    feedLimits.timeout_ms = 500;
    kestrel::feeds::fetch_limits bannerLimits = Feedback::Advertisement::bannerLimits();
    bannerLimits.timeout_ms = 500;
    std::istringstream adFeed("<ads><g><p><c><i rate=\"1\" id=\"ad\"><bannerurl>" + address +
                              "</bannerurl></i></c></p></g></ads>");
    advertisement::provider chosen(advertisement::details::parse(adFeed, "", "", "", "", ""));
    const advertisement::instance_ptr ad = chosen.create_instance("");
    ASSERT_TRUE(ad);

    resetPeakMemory();
    const std::size_t before = statusBytes("VmHWM");

    auto notices = std::make_shared<CallbackRecorder<bool, appnotification::notification_ptr>>();
    EXPECT_FALSE(appnotification::download(address, notices->receiver(), "agent", feedLimits));
    const auto noticeCalls = notices->calls();
    ASSERT_EQ(1u, noticeCalls.size());
    EXPECT_FALSE(std::get<0>(noticeCalls[0]));

    auto ads = std::make_shared<CallbackRecorder<advertisement::provider::State, advertisement::provider_ptr>>();
    advertisement::details::download(address, "slideshow", "linux-64", "1.0.1.50", "GB", "en", ads->receiver(),
                                     "agent", feedLimits);
    const auto adCalls = ads->calls();
    ASSERT_EQ(1u, adCalls.size());
    EXPECT_NE(advertisement::provider::state_loaded, std::get<0>(adCalls[0]));

    const Feedback::InternalAd banner = Feedback::Advertisement::fetchAd(ad, bannerLimits);
    EXPECT_TRUE(banner.valid);
    EXPECT_TRUE(!banner.data || QImage::fromData(*banner.data).isNull());

    const std::size_t peak = statusBytes("VmHWM");
    EXPECT_LT(peak - std::min(peak, before), peakBound) << "peak " << peak << ", before " << before;
}

std::string deeplyNested()
{
    std::string text = "<?xml version=\"1.0\"?>";
    for (int i = 0; i < 30000; ++i)
        text += "<a>";
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, HostileServer,
    testing::Values(
        HostileCase{"Silent", [](const LoopbackHttpServer&) { return HttpReply::silent(); }},
        HostileCase{"Trickling",
                    [](const LoopbackHttpServer&) {
                        return HttpReply::endless(answerHead + "<a>", " ", std::chrono::milliseconds(50));
                    }},
        HostileCase{"Endless",
                    [](const LoopbackHttpServer&) {
                        return HttpReply::endless(answerHead + "<a>", std::string(65536, ' '),
                                                  std::chrono::milliseconds(0));
                    }},
        HostileCase{"Huge",
                    [](const LoopbackHttpServer&) {
                        return HttpReply::endless("HTTP/1.0 200 OK\r\nContent-Length: 75497472\r\n\r\n",
                                                  std::string(65536, 'x'), std::chrono::milliseconds(0));
                    }},
        HostileCase{"DeeplyNested", [](const LoopbackHttpServer&) { return HttpReply::ok(deeplyNested()); }},
        HostileCase{"RedirectLoop",
                    [](const LoopbackHttpServer& server) { return HttpReply::redirect(302, server.url("/again")); }}),
    [](const testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

// Local files, other schemes and addresses hidden behind white space, in
// every address field both feeds carry: each read as empty and named in
// the log.
TEST(HostileFeed, AddressesOffTheWebAreRefusedAndNamed)
{
    const std::string refused[] = {"file:///etc/passwd", "javascript:alert(1)", " http://127.0.0.1/x",
                                   "file:///dev/zero"};
    LoopbackHttpServer server;
    server.answer("/n.xml", HttpReply::ok("<notification><url>" + refused[0] + "</url><update><e name=\"linux-64\">"
                                          "<url>" + refused[1] + "</url></e></update></notification>"));
    server.answer("/ads.xml", HttpReply::ok("<ads><g><p><c><i rate=\"1\"><url>" + refused[2] +
                                            "</url><bannerurl>" + refused[3] + "</bannerurl></i></c></p></g></ads>"));
    testing::internal::CaptureStdout();
    auto notices = std::make_shared<CallbackRecorder<bool, appnotification::notification_ptr>>();
    appnotification::download(server.url("/n.xml"), notices->receiver());
    auto ads = std::make_shared<CallbackRecorder<advertisement::provider::State, advertisement::provider_ptr>>();
    advertisement::details::download(server.url("/ads.xml"), "", "", "", "", "", ads->receiver(), "agent");
    const std::string log = testing::internal::GetCapturedStdout();

    ASSERT_EQ(1u, notices->calls().size());
    const appnotification::notification_ptr notice = std::get<1>(notices->calls()[0]);
    ASSERT_TRUE(notice);
    appnotification::record update;
    ASSERT_TRUE(notice->find_update("linux-64", update));
    EXPECT_EQ("", notice->main_record().url());
    EXPECT_EQ("", update.url());

    ASSERT_EQ(1u, ads->calls().size());
    const advertisement::provider_ptr feed = std::get<1>(ads->calls()[0]);
    ASSERT_TRUE(feed);
    const advertisement::instance_ptr ad = feed->create_instance("");
    ASSERT_TRUE(ad);
    EXPECT_EQ("", ad->url());
    EXPECT_EQ("", ad->bannerurl());
    for (const std::string& address : refused)
        EXPECT_NE(std::string::npos, log.find("\"" + address + "\"")) << address << " in " << log;
    EXPECT_EQ(2u, server.requests().size());
}

} // namespace
