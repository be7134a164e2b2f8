#include "feeds/DTFeedXml.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using kestrel::feeds::max_feed_depth;
using kestrel::feeds::max_feed_size;

std::string nested(std::size_t depth, const std::string& open = "<a>", const std::string& close = "</a>") {
    std::string text;
    for (std::size_t i = 0; i < depth; ++i)
        text += open;
    for (std::size_t i = 0; i < depth; ++i)
        text += close;
    return text;
}

// What the reader tells, as one line: "<name" an element (with its
// attribute x, if any, as "[x=value]"), ">" its end, "!" a comment, a
// quoted text piece; or the fault that stopped it.
class Trace : public kestrel::feeds::feed_events {
public:
    void element(std::size_t, const kestrel::feeds::feed_tag& tag) override {
        flush();
        line += "<" + std::string(tag.name());
        if (const auto x = tag.attribute("x"))
            line += "[x=" + *x + "]";
    }
    void comment(std::size_t) override {
        flush();
        line += "!";
    }
    std::string* text(std::size_t) override { return &piece_; }
    void end(std::size_t) override {
        flush();
        line += ">";
    }
    void flush() {
        if (!piece_.empty())
            line += "\"" + piece_ + "\"";
        piece_.clear();
    }

    std::string line;

private:
    std::string piece_;
};

std::string trace(const std::string& text) {
    std::istringstream stream(text);
    Trace events;
    try {
        kestrel::feeds::read_feed_xml(stream, events);
    } catch (const std::exception& e) {
        return std::string("fault: ") + e.what();
    }
    events.flush();
    return events.line;
}

struct XmlCase {
    const char* name;
    std::string text;
    std::string told;
};

void PrintTo(const XmlCase& c, std::ostream* out) { *out << c.name; }

class FeedXml : public testing::TestWithParam<XmlCase> {};

// The grammar the feeds have always been read with: what opens nothing
// must open nothing, values read as before, and a fault is told with its
// line.
TEST_P(FeedXml, TellsWhatTheFeedHolds) { EXPECT_EQ(GetParam().told, trace(GetParam().text)); }

INSTANTIATE_TEST_SUITE_P(
    Table, FeedXml,
    testing::Values(
        XmlCase{"Siblings", "<?xml version=\"1.0\"?><a><b/><c x='1'></c><d><e/></d></a>", "<a<b><c[x=1]><d<e>>>"},
        XmlCase{"MarkupInsideOpensNothing",
                "<a><!-- <b><b> --><![CDATA[<b><b>]]><?pi <b><b> ?><!DOCTYPE x [<!ENTITY y \"<b>\">]><!x <b><b/></a>",
                "<a!\"<b><b>\"<b>>"},
        XmlCase{"QuotesHideEndings", "<a y='</a>' x=\"/>\"><a x='\"'/></a>", "<a[x=/>]<a[x=\"]>>"},
        XmlCase{"ReferencesExpanded",
                "<a x=\"&lt;&#x41;&#66;&amp;&quot;&apos;&gt;&nbsp;&#1a;\" x=\"2\">"
                "t&#xD800;&#55296;\xED<![CDATA[\xA0\x80&amp;\xED\xA0]]>\x80</a>",
                "<a[x=<AB&\"'>&nbsp;\x14]\"t\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD&amp;\xEF\xBF\xBD\">"},
        XmlCase{"TextKeptWithItsBlanks", "<a> x <b/>\r\n</a>", "<a\" x \"<b>\"\r\n\">"},
        XmlCase{"EndTagNamesAreNotChecked", "<a><b></c  ></a >", "<a<b>>"},
        XmlCase{"TextEndsAtNul", std::string("\xEF\xBB\xBF<a/> <b/>\0<c>", 15), "<a><b>"},
        XmlCase{"TextAtTheTop", "<a/>x", "fault: XML line 1: expected <"},
        XmlCase{"EndTagAtTheTop", "</a><a><a>", "fault: XML line 1: expected element name"},
        XmlCase{"UnquotedAttribute", "<a>\n<b x=1>", "fault: XML line 2: expected ' or \""},
        XmlCase{"AttributeWithoutValue", "<a x='1' y>", "fault: XML line 1: expected ="},
        XmlCase{"SlashWithoutEnd", "<a/ >", "fault: XML line 1: expected >"},
        XmlCase{"CutOff", "<a>\n\n<!-- </a>", "fault: XML line 3: unexpected end of data"},
        XmlCase{"ReferencePastUnicode", "<a>&#x110000;</a>", "fault: XML line 1: invalid numeric character entity"},
        XmlCase{"ReferenceWithoutEnd", "<a x='&#65'/>", "fault: XML line 1: expected ;"}),
    [](const testing::TestParamInfo<XmlCase>& info) { return std::string(info.param.name); });

TEST(FeedXmlBounds, ReadsOnlyFeedsWithinBothBounds) {
    EXPECT_EQ(nested(max_feed_depth, "<a", ">"), trace(nested(max_feed_depth)));
    const std::string too_deep = "fault: [feeds] feed nested deeper than 64 elements";
    EXPECT_EQ(too_deep, trace(nested(max_feed_depth + 1)));
    // No stack grows with the nesting: a deep feed is refused where the
    // bound is passed, as any other fault.
    EXPECT_EQ(too_deep, trace(nested(300000, "<a>", "")));

    const std::string filler = "<a>" + std::string(max_feed_size - 7, ' ') + "</a>";
    EXPECT_EQ("<a\"" + std::string(max_feed_size - 7, ' ') + "\">", trace(filler));
    EXPECT_EQ("fault: [feeds] feed larger than 1048576 bytes", trace(filler + " "));

    EXPECT_EQ("fault: [feeds] empty feed", trace(""));
    std::istringstream failed("<a/>");
    failed.setstate(std::ios_base::failbit);
    Trace events;
    EXPECT_THROW(kestrel::feeds::read_feed_xml(failed, events), std::exception);
}

} // namespace
