#include "FeedbackTesting.h"

#include "feedback/FeedText.h"

#include "feeds/DTFeedXml.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using Feedback::maxShownCharacters;
using Feedback::shownFeedText;

const QChar ellipsis(0x2026);

std::string repeated(const std::string& piece, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

// The element's text as the feed reader gives it.
std::string readFromFeed(const std::string& content)
{
    struct Text : kestrel::feeds::feed_events {
        void element(std::size_t, const kestrel::feeds::feed_tag&) override {}
        void comment(std::size_t) override {}
        std::string* text(std::size_t) override { return &value; }
        void end(std::size_t) override {}
        std::string value;
    } text;
    std::istringstream feed("<t>" + content + "</t>");
    kestrel::feeds::read_feed_xml(feed, text);
    return text.value;
}

struct ShownCase {
    const char* name;
    std::string content; // the element's content in the feed
    QString shown;
};
void PrintTo(const ShownCase& c, std::ostream* out)
{
    *out << c.name;
}

class ShownFeedText : public testing::TestWithParam<ShownCase> {};

TEST_P(ShownFeedText, IsReadCleanedAndCutOnce)
{
    const ShownCase& c = GetParam();
    EXPECT_EQ(c.shown, shownFeedText(readFromFeed(c.content)));
}

const std::string emoji = "\xF0\x9F\x98\x80"; // U+1F600, a surrogate pair in UTF-16

INSTANTIATE_TEST_SUITE_P(
    Table, ShownFeedText,
    testing::Values(
        // A surrogate reference is no character: it alone must not turn the
        // rest into Latin-1.
        ShownCase{"SurrogateReference", "caf\xC3\xA9 &#xD800;&#56832;!",
                  QString::fromUtf8("caf\xC3\xA9 \xEF\xBF\xBD\xEF\xBF\xBD!")},
        ShownCase{"PairOfSurrogateReferences", "&#xD83D;&#xDE00;", QString::fromUtf8("\xEF\xBF\xBD\xEF\xBF\xBD")},
        ShownCase{"ReferenceToACharacter", "&#x1F600;&#233;", QString::fromUtf8((emoji + "\xC3\xA9").c_str())},
        ShownCase{"BidiControls",
                  "report&#x202E;txt.exe&#x202A;&#x202B;&#x202C;&#x202D;&#x2066;&#x2067;&#x2068;&#x2069;"
                  "\xE2\x80\x8E\xE2\x80\x8F\xD8\x9C.",
                  "reporttxt.exe."},
        ShownCase{"Latin1WhenNotUtf8", "Gr\xFC\xDF" "e", QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e")},
        ShownCase{"CutShortAtTheEnd", "caf\xC3", QString::fromUtf8("caf\xC3\x83")},
        ShownCase{"ThirtyLinesAreKept", repeated("line\n", 29) + "line",
                  QString::fromStdString(repeated("line\n", 29) + "line")},
        ShownCase{"ManyShortLines", repeated("line\n", 1000),
                  QString::fromStdString(repeated("line\n", 29) + "line") + ellipsis},
        // U+0085 would draw as a box: it is left out, and ends no line.
        ShownCase{"EveryKindOfLineEnd", repeated("a\r\nb\rc\xC2\x85" "d\xE2\x80\xA8" "e\xE2\x80\xA9", 10),
                  QString::fromStdString(repeated("a\r\nb\rcd\xE2\x80\xA8" "e\xE2\x80\xA9", 7) + "a\r\nb") +
                      ellipsis},
        ShownCase{"UndrawableControls", "a&#xB;b&#xC;c\xC2\x85" "d\x7F" "e\x01\xC2\x9F" "f\tg", "abcdef\tg"},
        ShownCase{"UndrawableControlsInLatin1", "Gr\xFC\x85\x9F" "e", QString::fromUtf8("Gr\xC3\xBC" "e")},
        ShownCase{"ControlsAreNotCounted", repeated("&#xC;", 100) + std::string(2000, 'a'), QString(2000, 'a')},
        // A bad byte past the cut does not decide how the kept part reads.
        ShownCase{"BadBytePastTheCharacterCut", repeated("\xC3\xA9", 2000) + "x\xFF",
                  QString(maxShownCharacters, QChar(0xE9)) + ellipsis},
        ShownCase{"BadBytePastTheLineCut", repeated("\xC3\xA9\n", 40) + "\xFF",
                  QString::fromUtf8(repeated("\xC3\xA9\n", 29).c_str()) + QChar(0xE9) + ellipsis},
        ShownCase{"CharactersAtTheBound", std::string(2000, 'a'), QString(2000, 'a')},
        // 1 MiB less the tags: read no further than the cut.
        ShownCase{"OneLongLine", std::string((1 << 20) - 7, 'a'), QString(maxShownCharacters, 'a') + ellipsis},
        ShownCase{"PairAtTheCut", std::string(1999, 'a') + emoji, QString(1999, 'a') + ellipsis},
        ShownCase{"PairJustFits", std::string(1998, 'a') + emoji + "b",
                  QString(1998, 'a') + QString::fromUtf8(emoji.c_str()) + ellipsis},
        // A last character cut short: when the cut leaves it out, it neither
        // shows nor makes the rest Latin-1; when it would be kept, it does.
        ShownCase{"PairCutShortPastTheCut", std::string(1999, 'a') + emoji.substr(0, 3), QString(1999, 'a') + ellipsis},
        ShownCase{"PairCutShortAtTheCut", std::string(1998, 'a') + emoji.substr(0, 3),
                  QString(1998, 'a') + QChar(0xF0)},
        ShownCase{"CutShortAtTheCut", std::string(1999, 'a') + "\xE2\x82", QString(1999, 'a') + QChar(0xE2)},
        // The same bytes inside the text, ending the reader's first piece.
        ShownCase{"CutShortAtAPieceEnd", std::string(952, 'a') + repeated("\xE2\x82\xAC", 1047) + emoji.substr(0, 3) + "b",
                  QString(952, 'a') + QString::fromUtf8(repeated("\xC3\xA2\xC2\xAC", 524).c_str()) + ellipsis},
        // Three-byte characters across the reader's 4096-byte pieces.
        ShownCase{"MultiByteAcrossPieces", repeated("\xE2\x82\xAC", 1500), QString(1500, QChar(0x20AC))},
        ShownCase{"Latin1IsCutToo", std::string(5000, '\xE9'), QString(maxShownCharacters, QChar(0xE9)) + ellipsis}),
    [](const testing::TestParamInfo<ShownCase>& info) { return info.param.name; });

// A NUL byte, which no feed element holds, is left out like the other
// controls and is no sign of Latin-1.
TEST(FeedTextBytes, NulIsLeftOut)
{
    EXPECT_EQ(QString::fromUtf8("caf\xC3\xA9"), shownFeedText(std::string("caf\xC3\xA9\0", 6)));
}

} // namespace
