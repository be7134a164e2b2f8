#include "feeds/DTFeedXml.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using kestrel::feeds::element_depth;
using kestrel::feeds::max_feed_depth;
using kestrel::feeds::max_feed_size;
using kestrel::feeds::read_feed_xml;

std::string nested(std::size_t depth, const std::string& open = "<a>", const std::string& close = "</a>") {
    std::string text;
    for (std::size_t i = 0; i < depth; ++i)
        text += open;
    for (std::size_t i = 0; i < depth; ++i)
        text += close;
    return text;
}

struct DepthCase {
    const char* name;
    std::string text;
    std::size_t depth;
};

void PrintTo(const DepthCase& c, std::ostream* out) { *out << c.name; }

class ElementDepth : public testing::TestWithParam<DepthCase> {};

// What opens nothing for the XML reader must not count, and what does must:
// a feed that hides its nesting from the count would overflow the reader.
TEST_P(ElementDepth, CountsAsTheXmlReaderNests) {
    EXPECT_EQ(GetParam().depth, element_depth(GetParam().text.data(), GetParam().text.size(), 100));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ElementDepth,
    testing::Values(
        DepthCase{"Siblings", "<?xml version=\"1.0\"?><a><b/><c x='1'></c><d><e/></d></a>", 3},
        DepthCase{"MarkupInsideOpensNothing",
                  "<a><!-- <b><b> --><![CDATA[<b><b>]]><?pi <b><b> ?><!DOCTYPE x [<!ENTITY y \"<b>\">]><b/></a>",
                  2},
        DepthCase{"QuotesHideEndings", nested(5, "<a x=\"/>\" y='</a>'>"), 5},
        DepthCase{"EndTagWithBlanks", "<a><b></b  ><c>", 2},
        // The reader takes "<?>" as the start of an instruction, not all of it.
        DepthCase{"InstructionEndsAfterItsMark", "<?><a><a>?><a>", 1},
        DepthCase{"TextEndsAtNul", std::string("<a>\0<a><a>", 10), 1},
        DepthCase{"EndTagAtTheTopStops", "</a><a><a>", 0},
        DepthCase{"UnquotedAttributeStops", "<a><a x=1><a>", 1},
        DepthCase{"CountingStopsPastTheLimit", nested(100000), 101}),
    [](const testing::TestParamInfo<DepthCase>& info) { return std::string(info.param.name); });

TEST(FeedXml, ReadsOnlyFeedsWithinBothBounds) {
    const auto read = [](const std::string& text) {
        std::istringstream stream(text);
        return read_feed_xml(stream);
    };
    const std::string deepest = nested(max_feed_depth);
    EXPECT_EQ(1u, read(deepest).count("a"));
    EXPECT_THROW(read(nested(max_feed_depth + 1)), std::exception);
    EXPECT_THROW(read(nested(30000)), std::exception);

    const std::string filler = "<a>" + std::string(max_feed_size - 7, ' ') + "</a>";
    EXPECT_EQ(1u, read(filler).count("a"));
    EXPECT_THROW(read(filler + " "), std::exception);

    EXPECT_THROW(read(""), std::exception);
    std::istringstream failed("<a/>");
    failed.setstate(std::ios_base::failbit);
    EXPECT_THROW(read_feed_xml(failed), std::exception);
}

} // namespace
