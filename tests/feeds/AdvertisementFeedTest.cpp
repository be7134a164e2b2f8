#include "feeds/DTAdvertisementFeed.h"
#include "feeds/DTAdvertisementInstance.h"
#include "feeds/DTAdvertisementProvider.h"
#include "feeds/DTFeedXml.h"

#include "support/CallbackRecorder.h"
#include "support/LogLines.h"
#include "support/LoopbackHttpServer.h"
#include "support/RowNames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

namespace {

using namespace kestrel::advertisement;
using kestrel::test::CallbackRecorder;
using kestrel::test::HttpReply;

struct Caller {
    std::string product = "slideshow";
    std::string os = "linux-64";
    std::string version = "1.0.1.50";
    std::string region = "GB";
    std::string language = "de";
};

details::context_list parse_text(const std::string& xml, const Caller& caller = Caller()) {
    std::istringstream stream(xml);
    return details::parse(stream, caller.product, caller.os, caller.version, caller.region, caller.language);
}

std::string one_slot_feed(const std::string& group_attributes, const std::string& product_attributes,
                          const std::string& item_attributes = "rate=\"1\" id=\"ad\"") {
    return "<ads><group " + group_attributes + "><product " + product_attributes +
           "><context id=\"slot\"><item " + item_attributes +
           "><url>http://link/</url><text>Hallo</text><bannerurl>http://b/1.png</bannerurl></item>"
           "</context></product></group></ads>";
}

struct FilterCase {
    const char* name;
    const char* group;
    const char* product;
    std::function<void(Caller&)> caller;
    bool kept;
};

void PrintTo(const FilterCase& c, std::ostream* out) { *out << c.name; }

class AdvertisementFilter : public testing::TestWithParam<FilterCase> {};

TEST_P(AdvertisementFilter, KeepsOnlySlotsMeantForTheCaller) {
    Caller caller;
    GetParam().caller(caller);
    const details::context_list contexts = parse_text(one_slot_feed(GetParam().group, GetParam().product), caller);
    ASSERT_EQ(GetParam().kept ? 1u : 0u, contexts.size());
    if (GetParam().kept) {
        EXPECT_EQ("slot", contexts[0]->id);
        ASSERT_EQ(1u, contexts[0]->items.size());
        EXPECT_EQ("http://link/", contexts[0]->items[0]->url);
    }
}

const auto same = [](Caller&) {};

INSTANTIATE_TEST_SUITE_P(
    Table, AdvertisementFilter,
    testing::Values(
        FilterCase{"NoAttributes", "", "", same, true},
        FilterCase{"RegionAndLocaleListed", "region=\"US, GB\" locale=\"en,de\"", "", same, true},
        FilterCase{"RegionCaseCounts", "region=\"US, GB\" locale=\"en,de\"", "", [](Caller& c) { c.region = "gb"; },
                   false},
        FilterCase{"LanguageNotListed", "region=\"US, GB\" locale=\"en,de\"", "",
                   [](Caller& c) { c.language = "fr"; }, false},
        FilterCase{"RegionNotListed", "region=\"US,GB\"", "", [](Caller& c) { c.region = "FR"; }, false},
        FilterCase{"NoRegionOfTheCaller", "region=\"US\" locale=\"de\"", "", [](Caller& c) { c.region = ""; }, true},
        FilterCase{"LocaleListOnly", "locale=\"de\"", "", [](Caller& c) { c.region = "XX"; }, true},
        FilterCase{"BlankRegionList", "region=\"   \"", "", [](Caller& c) { c.region = "ZZ"; }, true},
        FilterCase{"EmptyWordsAreHarmless", "region=\",,GB,\"", "", same, true},
        FilterCase{"VersionOnBothBounds", "", "min-version=\"1.0.1.50\" max-version=\"1.0.1.50\"", same, true},
        FilterCase{"VersionAboveMax", "", "min-version=\"1.0.1.50\" max-version=\"1.0.1.50\"",
                   [](Caller& c) { c.version = "1.0.1.51"; }, false},
        FilterCase{"VersionBelowMin", "", "min-version=\"1.0.1.50\"", [](Caller& c) { c.version = "1.0.1.49"; }, false},
        FilterCase{"PartsCompareAsNumbers", "", "min-version=\"1.0.1.6\"", same, true},
        FilterCase{"ThreePartMaxIsNoBound", "", "max-version=\"1.0.1\"", [](Caller& c) { c.version = "9.9.9.9"; },
                   true},
        FilterCase{"LetterInMinIsNoBound", "", "min-version=\"1.x.0.0\"", [](Caller& c) { c.version = "0.0.0.1"; },
                   true},
        FilterCase{"CommasReadLikeDots", "", "min-version=\"1,0,1,50\"", [](Caller& c) { c.version = "1.0.1.49"; },
                   false},
        FilterCase{"MinusWraps", "", "min-version=\"1.0.0.-1\"", [](Caller& c) { c.version = "1.0.0.65534"; }, false},
        FilterCase{"PartAbove65535IsNoBound", "", "max-version=\"1.0.0.65536\"",
                   [](Caller& c) { c.version = "9.0.0.0"; }, true},
        FilterCase{"UnreadableOwnVersionMatchesAll", "", "min-version=\"9.0.0.0\"",
                   [](Caller& c) { c.version = "1.0.1"; }, true},
        FilterCase{"OtherProductKey", "", "id=\"slideshow\"", [](Caller& c) { c.product = "slideshow2"; }, false},
        FilterCase{"NoProductKey", "", "id=\"slideshow\"", [](Caller& c) { c.product = ""; }, true},
        FilterCase{"OtherPlatform", "", "os=\"windows-32\"", same, false},
        FilterCase{"SamePlatform", "", "os=\"linux-64\" id=\"slideshow\"", same, true}),
    [](const testing::TestParamInfo<FilterCase>& info) { return std::string(info.param.name); });

struct RateCase {
    const char* attributes;
    bool parses;
    std::uint32_t rate;
};

void PrintTo(const RateCase& c, std::ostream* out) { *out << c.attributes; }

class AdvertisementRate : public testing::TestWithParam<RateCase> {};

TEST_P(AdvertisementRate, IsA32BitNumberOrTheFeedFails) {
    const std::string feed = one_slot_feed("", "", GetParam().attributes);
    if (!GetParam().parses) {
        EXPECT_ANY_THROW(parse_text(feed));
        return;
    }
    const details::context_list contexts = parse_text(feed);
    ASSERT_EQ(1u, contexts.size());
    ASSERT_EQ(1u, contexts[0]->items.size());
    EXPECT_EQ(GetParam().rate, contexts[0]->items[0]->rate);
}

INSTANTIATE_TEST_SUITE_P(Table, AdvertisementRate,
                         testing::Values(RateCase{"rate=\"3\"", true, 3}, RateCase{"rate=\"+5\"", true, 5},
                                         RateCase{"rate=\"0\"", true, 0},
                                         RateCase{"rate=\"4294967295\"", true, 4294967295u},
                                         RateCase{"rate=\"-1\"", true, 4294967295u}, RateCase{"id=\"x\"", false, 0},
                                         RateCase{"rate=\"\"", false, 0}, RateCase{"rate=\"5 \"", false, 0},
                                         RateCase{"rate=\" 5\"", false, 0}, RateCase{"rate=\"x\"", false, 0},
                                         RateCase{"rate=\"1.5\"", false, 0}, RateCase{"rate=\"+\"", false, 0},
                                         RateCase{"rate=\"4294967296\"", false, 0}),
                         [](const testing::TestParamInfo<RateCase>& info) {
                             return kestrel::test::row_name(info.index, info.param.attributes);
                         });

TEST(AdvertisementFeed, ReadsDepthNotNames) {
    const details::context_list contexts = parse_text(
        "<ads version=\"2\"><!-- top -->"
        "<a><!-- in a group --><b>"
        "<c id=\"first\"><d rate=\"1\" id=\"x\"><url>http://one/</url><url>http://two/</url>"
        "<text>  Gr\xC3\xBC\xC3\x9F" "e  </text><bannerurl>http://b/x.png</bannerurl><other>y</other></d></c>"
        "<!-- in a product -->"
        "<c><d rate=\"2\"/></c>"
        "</b></a>"
        "<a region=\"FR\"><b><c id=\"dropped\"/></b></a>"
        "<a><b><c id=\"last\"/></b></a></ads>");
    ASSERT_EQ(4u, contexts.size());
    EXPECT_EQ("first", contexts[0]->id);
    ASSERT_EQ(1u, contexts[0]->items.size());
    const details::rotation& ad = *contexts[0]->items[0];
    EXPECT_EQ("x", ad.id);
    EXPECT_EQ("http://one/", ad.url);
    EXPECT_EQ("  Gr\xC3\xBC\xC3\x9F" "e  ", ad.text);
    EXPECT_EQ("http://b/x.png", ad.bannerurl);
    EXPECT_EQ(1u, ad.rate);
    EXPECT_EQ("", contexts[1]->id); // the comment in the product
    EXPECT_TRUE(contexts[1]->items.empty());
    EXPECT_EQ("", contexts[2]->id);
    ASSERT_EQ(1u, contexts[2]->items.size());
    EXPECT_EQ(2u, contexts[2]->items[0]->rate);
    EXPECT_EQ("last", contexts[3]->id);

    EXPECT_ANY_THROW(parse_text("<ads><a><b><c id=\"s\"><!-- no rate --></c></b></a></ads>"));
    EXPECT_TRUE(parse_text("<ads><a><b id=\"other\"><c/></b></a></ads>").empty());
}

// A feed filled with empty elements (the largest, 1 MiB, holds 260,000; an
// eighth of it is as many past the bounds and quicker to read): what the
// program keeps of it is bounded, the rest said once, and an item past the
// bounds still has to be right for the feed to load.
struct DenseFeed {
    std::string text;
    std::size_t elements = 0;
};

DenseFeed dense_feed(const std::string& open, const std::string& element, const std::string& close) {
    DenseFeed feed{open};
    for (; feed.text.size() + element.size() + close.size() <= kestrel::feeds::max_feed_size / 8; ++feed.elements)
        feed.text += element;
    feed.text += close;
    return feed;
}

TEST(AdvertisementFeed, DenseFeedKeepsTheFirstThousand) {
    const DenseFeed slots =
        dense_feed("<ads><g><p><c id=\"first\"><i rate=\"1\" id=\"ad\"/></c>", "<c/>", "</p></g></ads>");
    const DenseFeed items = dense_feed("<ads><g><p><c>", "<i rate=\"1\"/>", "</c><c/></p></g></ads>");
    testing::internal::CaptureStdout();
    details::context_list many_slots = parse_text(slots.text);
    const details::context_list many_items = parse_text(items.text);
    const std::vector<std::string> lines =
        kestrel::test::log_lines_with(testing::internal::GetCapturedStdout(), "[feeds]");

    ASSERT_EQ(details::max_kept_contexts, many_slots.size());
    EXPECT_EQ("first", many_slots[0]->id);
    EXPECT_EQ("ad", details::select_instance(many_slots, "first")->id());
    ASSERT_EQ(2u, many_items.size());
    EXPECT_EQ(details::max_kept_items, many_items[0]->items.size());
    EXPECT_TRUE(many_items[1]->items.empty());
    EXPECT_EQ((std::vector<std::string>{"[kestrel][warning][feeds] advertisement feed: " +
                                            std::to_string(1 + slots.elements - 1000) +
                                            " slots past the first 1000 ignored",
                                        "[kestrel][warning][feeds] advertisement feed: " +
                                            std::to_string(items.elements - 1000) +
                                            " advertisements past the first 1000 ignored"}),
              lines);

    EXPECT_ANY_THROW(
        parse_text(dense_feed("<ads><g><p><c>", "<i rate=\"1\"/>", "<i rate=\"x\"/></c></p></g></ads>").text));
}

// The download on the calling thread, as the feed thread runs it; a
// failure's state is all the callback learns, so the log tells why, once.
struct DownloadCase {
    const char* name;
    HttpReply reply;
    provider::State state;
    const char* first_item; // of the empty slot name, when loaded
    const char* logged;     // what the one line says after the address; none when loaded
};

void PrintTo(const DownloadCase& c, std::ostream* out) { *out << c.name; }

class AdvertisementDownload : public testing::TestWithParam<DownloadCase> {};

TEST_P(AdvertisementDownload, ReportsOnceWithItsState) {
    kestrel::test::LoopbackHttpServer server;
    server.answer("/ads.xml", GetParam().reply);
    auto received = std::make_shared<CallbackRecorder<provider::State, provider_ptr>>();
    Caller c;
    testing::internal::CaptureStdout();
    details::download(server.url("/ads.xml"), c.product, c.os, c.version, c.region, c.language,
                      received->receiver(), "agent");
    const std::string log = testing::internal::GetCapturedStdout();
    const std::vector<std::string> lines = kestrel::test::log_lines_with(log, "[feeds]");
    ASSERT_EQ(GetParam().state == provider::state_loaded ? 0u : 1u, lines.size()) << log;
    if (!lines.empty()) {
        const std::string start = "[kestrel][warning][feeds] \"" + server.url("/ads.xml") + "\" ";
        EXPECT_EQ(start + GetParam().logged, lines[0].substr(0, start.size() + std::strlen(GetParam().logged)));
    }
    const auto calls = received->calls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(GetParam().state, std::get<0>(calls[0]));
    const provider_ptr feed = std::get<1>(calls[0]);
    ASSERT_EQ(GetParam().state == provider::state_loaded, static_cast<bool>(feed));
    if (feed) {
        const instance_ptr ad = feed->create_instance("");
        EXPECT_EQ(GetParam().first_item, ad ? ad->id() : "none");
    }
}

const std::string good_feed = "<ads><g region=\"GB\"><p id=\"slideshow\"><c><i rate=\"1\" id=\"ad1\"/></c></p></g></ads>";

INSTANTIATE_TEST_SUITE_P(
    Table, AdvertisementDownload,
    testing::Values(
        DownloadCase{"Loaded", HttpReply::ok(good_feed), provider::state_loaded, "ad1", ""},
        DownloadCase{"NothingMatches", HttpReply::ok("<ads><g region=\"US\"><p><c><i rate=\"1\"/></c></p></g></ads>"),
                     provider::state_loaded, "none", ""},
        DownloadCase{"NotFound", HttpReply::status(404, "Not Found", good_feed), provider::state_download_failed, "",
                     "not opened: Not found (HTTP 404)"},
        DownloadCase{"Malformed", HttpReply::raw("HTTP/1.0 200\r\n\r\n" + good_feed), provider::state_download_failed,
                     "", "not opened: Malformed status line (HTTP 1)"},
        DownloadCase{"RedirectNotAUrl", HttpReply::redirect(302, "/elsewhere/ads.xml"),
                     provider::state_download_failed, "",
                     "not opened: Redirect address is not a complete URL (HTTP 7)"},
        DownloadCase{"EmptyBody", HttpReply::ok(""), provider::state_bad_feed, "", "cut short: nothing came"},
        DownloadCase{"NotXml", HttpReply::ok("<html><body>Sorry</body>"), provider::state_bad_feed, "",
                     "unreadable: XML line 1: unexpected end of data"},
        DownloadCase{"CutOff", HttpReply::ok(good_feed.substr(0, good_feed.size() / 2)), provider::state_bad_feed, "",
                     "unreadable: XML line 1: expected >"},
        DownloadCase{"BadRate", HttpReply::ok("<ads><g><p><c><i rate=\"lots\"/></c></p></g></ads>"),
                     provider::state_bad_feed, "", "unreadable: advertisement rate is not a number: \"lots\""}),
    [](const testing::TestParamInfo<DownloadCase>& info) { return std::string(info.param.name); });

TEST(AdvertisementDownload, ThrowingReceiverIsToldOnce) {
    kestrel::test::LoopbackHttpServer server;
    server.answer("/ads.xml", HttpReply::ok(good_feed));
    server.answer("/bad.xml", HttpReply::ok("<ads>"));
    for (const char* target : {"/ads.xml", "/bad.xml", "/missing.xml"}) {
        auto received = std::make_shared<CallbackRecorder<provider::State, provider_ptr>>();
        Caller c;
        EXPECT_NO_THROW(details::download(server.url(target), c.product, c.os, c.version, c.region, c.language,
                                          received->throwing_receiver(), "agent"));
        EXPECT_EQ(1u, received->calls().size()) << target;
    }
    Caller c;
    EXPECT_NO_THROW(details::download(server.url("/ads.xml"), c.product, c.os, c.version, c.region, c.language,
                                      provider::callback(), "agent"));
}

} // namespace
