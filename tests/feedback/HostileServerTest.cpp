// The online services against a server that misbehaves on purpose: whatever
// it does, the notification feed, the advertisement feed and a banner each
// end in one failure within their bounds, logged once with the address, and
// the process's peak memory stays bounded; and a feed's addresses are used
// only on the web.

#include "feedback/Advertisement.h"

#include "feeds/DTAdvertisementProvider.h"
#include "feeds/DTAppNotification.h"

#include "support/CallbackRecorder.h"
#include "support/LogLines.h"
#include "support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <QImage>

#include <fstream>
#include <functional>
#include <ostream>
#include <sstream>

namespace {

using kestrel::test::CallbackRecorder;
using kestrel::test::HttpReply;
using kestrel::test::LoopbackHttpServer;
namespace advertisement = kestrel::advertisement;
using namespace kestrel::appnotification;
typedef CallbackRecorder<bool, notification_ptr> NoticeRecorder;
typedef CallbackRecorder<advertisement::provider::State, advertisement::provider_ptr> AdRecorder;

// The peak resident size (VmHWM), in bytes; reset to the present size first
// where the kernel allows it.
std::size_t peakMemory(bool reset = false)
{
    if (reset)
        std::ofstream("/proc/self/clear_refs") << "5";
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmHWM:") == 0)
            return std::stoul(line.substr(6)) * 1024;
    return 0;
}

// The banner's 8 MiB, its copies and the sanitizer's quarantine stay well
// below; a download without a bound passes it within the half second.
const std::size_t peakBound = 96u << 20;
const std::string answerHead = "HTTP/1.0 200 OK\r\n\r\n<a>";

struct HostileCase {
    const char* name;
    std::function<HttpReply(const LoopbackHttpServer&)> reply;
    // The banner comes whole: the picture decoder judges it, not the download.
    bool bannerArrives = false;
};

void PrintTo(const HostileCase& hostile, std::ostream* out)
{
    *out << hostile.name;
}

class HostileServer : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileServer, EveryDownloadFailsOnceWithinBoundedMemory)
{
    LoopbackHttpServer server;
    server.answer_otherwise(GetParam().reply(server));
    const std::string address = server.url("/hostile");
    // A whole request takes half a second here, a minute in the program.
    kestrel::feeds::fetch_limits feedLimits = kestrel::feeds::feed_limits();
    kestrel::feeds::fetch_limits bannerLimits = Feedback::Advertisement::bannerLimits();
    feedLimits.timeout_ms = bannerLimits.timeout_ms = 500;
    std::istringstream adFeed("<ads><g><p><c><i rate=\"1\"><bannerurl>" + address + "</bannerurl></i></c></p></g></ads>");
    const advertisement::instance_ptr ad =
        advertisement::provider(advertisement::details::parse(adFeed, "", "", "", "", "")).create_instance("");
    ASSERT_TRUE(ad);
    const std::size_t before = peakMemory(true);
    testing::internal::CaptureStdout();

    auto notices = std::make_shared<NoticeRecorder>();
    EXPECT_FALSE(download(address, notices->receiver(), "agent", feedLimits));
    ASSERT_EQ(1u, notices->calls().size());
    EXPECT_FALSE(std::get<0>(notices->calls()[0]));

    auto ads = std::make_shared<AdRecorder>();
    advertisement::details::download(address, "slideshow", "linux-64", "1.0.1.50", "GB", "en", ads->receiver(), "agent", feedLimits);
    ASSERT_EQ(1u, ads->calls().size());
    EXPECT_NE(advertisement::provider::state_loaded, std::get<0>(ads->calls()[0]));

    const Feedback::InternalAd banner = Feedback::Advertisement::fetchAd(ad, bannerLimits);
    EXPECT_TRUE(!banner.data || QImage::fromData(*banner.data).isNull());
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(GetParam().bannerArrives ? 2u : 3u, kestrel::test::log_lines_with(log, "\"" + address + "\"").size())
        << log;

    const std::size_t peak = peakMemory();
    EXPECT_LT(peak - std::min(peak, before), peakBound) << "peak " << peak << ", before " << before;
}

INSTANTIATE_TEST_SUITE_P(
    Table, HostileServer,
    testing::Values(
        HostileCase{"Silent", [](const LoopbackHttpServer&) { return HttpReply::silent(); }},
        HostileCase{"Trickling",
                    [](const LoopbackHttpServer&) {
                        return HttpReply::endless(answerHead, " ", std::chrono::milliseconds(50));
                    }},
        HostileCase{"Endless",
                    [](const LoopbackHttpServer&) {
                        return HttpReply::endless(answerHead, std::string(65536, ' '), std::chrono::milliseconds(0));
                    }},
        HostileCase{"Huge",
                    [](const LoopbackHttpServer&) {
                        return HttpReply::endless("HTTP/1.0 200 OK\r\nContent-Length: 75497472\r\n\r\n",
                                                  std::string(65536, 'x'), std::chrono::milliseconds(0));
                    }},
        HostileCase{"DeeplyNested",
                    [](const LoopbackHttpServer&) {
                        std::string nested = "<?xml version=\"1.0\"?>";
                        for (int i = 0; i < 30000; ++i)
                            nested += "<a>";
                        return HttpReply::ok(nested);
                    },
                    true},
        HostileCase{"RedirectLoop",
                    [](const LoopbackHttpServer& server) { return HttpReply::redirect(302, server.url("/again")); }}),
    [](const testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

// Local files, other schemes and an address behind a blank, in every
// address field of both feeds: each read as empty and named in the log.
TEST(HostileFeed, AddressesOffTheWebAreRefusedAndNamed)
{
    const std::string refused[] = {"file:///etc/passwd", "javascript:alert(1)", " http://127.0.0.1/x",
                                   "file:///dev/zero"};
    LoopbackHttpServer server;
    server.answer("/n.xml", HttpReply::ok("<notification><url>" + refused[0] + "</url><update><e name=\"linux-64\">"
                                          "<url>" + refused[1] + "</url></e></update></notification>"));
    server.answer("/ads.xml", HttpReply::ok("<ads><g><p><c><i rate=\"1\"><url>" + refused[2] + "</url><bannerurl>" +
                                            refused[3] + "</bannerurl></i></c></p></g></ads>"));
    testing::internal::CaptureStdout();
    auto notices = std::make_shared<NoticeRecorder>();
    download(server.url("/n.xml"), notices->receiver());
    auto ads = std::make_shared<AdRecorder>();
    advertisement::details::download(server.url("/ads.xml"), "", "", "", "", "", ads->receiver(), "agent");
    const std::string log = testing::internal::GetCapturedStdout();

    const notification_ptr notice = std::get<1>(notices->calls().at(0));
    record update;
    ASSERT_TRUE(notice && notice->find_update("linux-64", update));
    const advertisement::provider_ptr feed = std::get<1>(ads->calls().at(0));
    const advertisement::instance_ptr ad = feed ? feed->create_instance("") : advertisement::instance_ptr();
    ASSERT_TRUE(ad);
    EXPECT_EQ((std::vector<std::string>{"", "", "", ""}),
              (std::vector<std::string>{notice->main_record().url(), update.url(), ad->url(), ad->bannerurl()}));
    for (const std::string& address : refused)
        EXPECT_NE(std::string::npos, log.find("\"" + address + "\"")) << address << " in " << log;
}

} // namespace
