#include "feeds/DTAdvertisementProvider.h"
#include "support/RowNames.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

namespace {

using namespace kestrel::advertisement;

struct Slot {
    std::string id;
    std::vector<std::uint32_t> rates;
};

// Items are named by slot and position: "<slot id>/<index>".
provider make_provider(const std::vector<Slot>& slots) {
    details::context_list contexts;
    for (const Slot& slot : slots) {
        details::context_ptr c(new details::context);
        c->id = slot.id;
        for (std::size_t i = 0; i < slot.rates.size(); ++i) {
            details::rotation_ptr item(new details::rotation);
            item->id = slot.id + "/" + std::to_string(i);
            item->rate = slot.rates[i];
            c->items.push_back(item);
        }
        contexts.push_back(c);
    }
    return provider(contexts);
}

// How often each item was drawn in n selections; "none" for no advertisement.
std::map<std::string, int> draw(provider& feed, const std::string& slot, int n) {
    std::map<std::string, int> counts;
    for (int i = 0; i < n; ++i) {
        const instance_ptr ad = feed.create_instance(slot);
        ++counts[ad ? ad->id() : "none"];
    }
    return counts;
}

struct SlotCase {
    std::vector<Slot> slots;
    const char* name;
    const char* chosen;
};

// The slots as id:rate,rate... and the name asked for.
void PrintTo(const SlotCase& c, std::ostream* out) {
    for (const Slot& slot : c.slots) {
        *out << '"' << slot.id << "\":";
        for (std::size_t i = 0; i < slot.rates.size(); ++i)
            *out << (i ? "," : "") << slot.rates[i];
        *out << ' ';
    }
    *out << "asked \"" << c.name << '"';
}

class AdvertisementSlot : public testing::TestWithParam<SlotCase> {};

TEST_P(AdvertisementSlot, FirstContextAnsweringTheNameIsUsed) {
    provider feed = make_provider(GetParam().slots);
    EXPECT_EQ((std::map<std::string, int>{{GetParam().chosen, 20}}), draw(feed, GetParam().name, 20));
}

INSTANTIATE_TEST_SUITE_P(Table, AdvertisementSlot,
                         testing::Values(SlotCase{{{"", {1}}, {"banner", {1}}}, "banner", "/0"},
                                         SlotCase{{{"", {1}}, {"banner", {1}}}, "", "/0"},
                                         SlotCase{{{"side", {1}}, {"banner", {1}}}, "banner", "banner/0"},
                                         SlotCase{{{"side", {1}}, {"banner", {1}}}, "top", "none"},
                                         SlotCase{{{"side", {1}}, {"banner", {1}}}, "", "none"},
                                         SlotCase{{{"side", {1}}, {"banner", {1}}}, "Banner", "none"},
                                         SlotCase{{}, "", "none"},
                                         SlotCase{{{"", {}}, {"", {1}}}, "", "none"},
                                         SlotCase{{{"s", {0, 0, 0}}}, "s", "none"},
                                         SlotCase{{{"s", {0, 5, 0}}}, "s", "s/1"},
                                         SlotCase{{{"s", {7}}}, "s", "s/0"}),
                         [](const testing::TestParamInfo<SlotCase>& info) {
                             return kestrel::test::row_name(info.index, std::string("asked ") + info.param.name);
                         });

TEST(AdvertisementSelection, DrawsInProportionToTheRates) {
    provider feed = make_provider({{"s", {3, 1}}});
    const std::map<std::string, int> counts = draw(feed, "s", 4000);
    EXPECT_NEAR(3000, counts.at("s/0"), 150);
    EXPECT_EQ(4000, counts.at("s/0") + counts.at("s/1"));

    // Rates near the 32-bit limit add up in 64 bits.
    provider big = make_provider({{"s", {4294967295u, 4294967295u}}});
    const std::map<std::string, int> halves = draw(big, "s", 2000);
    EXPECT_NEAR(1000, halves.at("s/0"), 120);
    EXPECT_EQ(2000, halves.at("s/0") + halves.at("s/1"));
}

TEST(AdvertisementSelection, InstanceHoldsCopiesOfTheItem) {
    instance_ptr ad;
    {
        details::context_list contexts(1, details::context_ptr(new details::context));
        details::rotation_ptr item(new details::rotation);
        item->id = "id1";
        item->url = "http://link/";
        item->text = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC";
        item->bannerurl = "http://b/1.png";
        item->rate = 1;
        contexts[0]->items.push_back(item);
        provider feed(contexts);
        ad = feed.create_instance("any");
    }
    ASSERT_TRUE(ad);
    EXPECT_EQ("id1", ad->id());
    EXPECT_EQ("http://link/", ad->url());
    EXPECT_EQ(L"Gr\u00FC\u00DFe \u20AC", ad->wtext());
    EXPECT_EQ("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC", ad->text());
    EXPECT_EQ("http://b/1.png", ad->bannerurl());
    EXPECT_TRUE(ad->data().empty());
}

TEST(AdvertisementSelection, TextThatIsNotUtf8Throws) {
    details::context_list contexts(1, details::context_ptr(new details::context));
    details::rotation_ptr item(new details::rotation);
    item->text = "\xFF\xFE";
    item->rate = 1;
    contexts[0]->items.push_back(item);
    provider feed(contexts);
    EXPECT_THROW(feed.create_instance(""), std::logic_error);
}

} // namespace
