// The storyboard file's bytes, its reading of foreign and damaged
// documents, and where it is kept.

#include "ViewModelTesting.h"

#include "viewmodel/StoryboardFile.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace ViewModel;
using namespace viewmodeltest;

namespace {

struct EscapeCase {
    const char* name;
    QString value;
    const char* written;
};

class StoryboardFileEscapes : public ::testing::TestWithParam<EscapeCase> {};

} // namespace

TEST(StoryboardFileTest, WritesEmptyAndTwoSlideDocumentsExactly)
{
    EXPECT_EQ(QByteArray("<Slides/>\n"), StoryboardFile::toXml({}));
    EXPECT_EQ(QByteArray("<Slides>\n"
                         "    <Slide settings=\"a\" filePath=\"/p/1.jpg\"/>\n"
                         "    <Slide settings=\"\" filePath=\"/p/\xc3\xa9t\xc3\xa9.jpg\"/>\n"
                         "</Slides>\n"),
              StoryboardFile::toXml({{QStringLiteral("/p/1.jpg"), QStringLiteral("a")},
                                     {QString::fromUtf8("/p/\xc3\xa9t\xc3\xa9.jpg"), QString()}}));
}

// Each value goes into both attributes, comes out escaped as written and
// reads back unchanged.
TEST_P(StoryboardFileEscapes, EscapesAndReadsBack)
{
    const EscapeCase& c = GetParam();
    const QByteArray expected = QByteArray("<Slides>\n    <Slide settings=\"") + c.written + "\" filePath=\"" +
                                c.written + "\"/>\n</Slides>\n";
    const QByteArray document = StoryboardFile::toXml({{c.value, c.value}});
    EXPECT_EQ(expected, document);
    const QList<StoryboardEntry> read = StoryboardFile::fromXml(document);
    ASSERT_EQ(1, read.size());
    EXPECT_EQ(c.value, read[0].filePath);
    EXPECT_EQ(c.value, read[0].settings);
}

INSTANTIATE_TEST_SUITE_P(
    Values, StoryboardFileEscapes,
    ::testing::Values(
        EscapeCase{"markup", QStringLiteral("<a href=\"x\">&amp;</a>"),
                   "&lt;a href=&quot;x&quot;>&amp;amp;&lt;/a>"},
        EscapeCase{"cdata_end", QStringLiteral("]]> ]> ]]]>"), "]]&gt; ]> ]]]&gt;"},
        EscapeCase{"whitespace", QStringLiteral("a\tb\nc\r\nd  e"), "a&#x9;b&#xa;c&#xd;&#xa;d  e"},
        EscapeCase{"apostrophe", QStringLiteral("it's"), "it's"},
        // Engine bytes 0x80-0xFF travel as the characters U+0080-U+00FF.
        EscapeCase{"latin1_bytes", QString::fromLatin1("\xc3\xa9\x80\xff"), "\xc3\x83\xc2\xa9\xc2\x80\xc3\xbf"},
        EscapeCase{"astral", QString::fromUtf8("\xf0\x9f\x93\xb7.jpg"), "\xf0\x9f\x93\xb7.jpg"}),
    [](const ::testing::TestParamInfo<EscapeCase>& info) { return std::string(info.param.name); });

TEST(StoryboardFileTest, LeavesOutWhatXmlCannotHoldSoTheRestReadsBack)
{
    LogCapture log;
    const QByteArray document = StoryboardFile::toXml({{QStringLiteral("/p/bell\x07.jpg"), QString()},
                                                       {QStringLiteral("/p/good.jpg"), QStringLiteral("s")},
                                                       {QStringLiteral("/p/x.jpg"), QString(QChar(0xD800))},
                                                       {QStringLiteral("/p/y.jpg"), QString(QChar(0xFFFF))}});
    const QList<StoryboardEntry> read = StoryboardFile::fromXml(document);
    ASSERT_EQ(1, read.size());
    EXPECT_EQ(QStringLiteral("/p/good.jpg"), read[0].filePath);
    EXPECT_EQ(3, log.linesWith(QStringLiteral("left out")).size());
}

TEST(StoryboardFileTest, ReadsAnyChildrenOfAnyRootUpToTheDamage)
{
    struct Case {
        const char* name;
        QByteArray document;
        QStringList entries; // "path|settings"
    };
    const Case cases[] = {
        {"foreign names, comments, text, missing attributes",
         "<?xml version=\"1.0\"?><Root><!-- c -->text<Item filePath=\"/a\" settings=\"s\" other=\"o\"><Deep "
         "filePath=\"/no\"/></Item><Slide settings=\"only\"/><Slide filePath=\"/b\"/></Root>",
         {"/a|s", "|only", "/b|"}},
        {"truncated inside an element", "<Slides>\n    <Slide settings=\"1\" filePath=\"/a\"/>\n    <Slide sett",
         {"/a|1"}},
        {"truncated after the last element", "<Slides><Slide filePath=\"/a\"/><Slide filePath=\"/b\"/>",
         {"/a|", "/b|"}},
        {"not XML", "\x89PNG\r\n\x1a\n\0\0", {}},
        {"empty", "", {}},
        {"root only", "<Slides/>", {}},
        {"entity", "<!DOCTYPE S [<!ENTITY e \"/x\">]><S><Slide filePath=\"&e;/y\"/></S>", {"/x/y|"}},
    };
    for (const Case& c : cases) {
        QStringList read;
        for (const StoryboardEntry& entry : StoryboardFile::fromXml(c.document))
            read << entry.filePath + QLatin1Char('|') + entry.settings;
        EXPECT_EQ(c.entries, read) << c.name;
    }
}

TEST(StoryboardFileTest, FirstSaveNamesANewFileInTheDataFolderAndKeepsUsingIt)
{
    forgetLastRun();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir(folder).removeRecursively();

    ASSERT_TRUE(StoryboardFile::save({{QStringLiteral("/p/a.jpg"), QString()}}));
    const QString path = storedStoryboardPath();
    const QFileInfo info(path);
    EXPECT_EQ(QDir(folder).absolutePath(), info.absolutePath());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\.xml$"))
                    .match(info.fileName())
                    .hasMatch())
        << info.fileName().toStdString();
    EXPECT_EQ(StoryboardFile::toXml({{QStringLiteral("/p/a.jpg"), QString()}}), readAll(path));

    // Deleted between runs: nothing to restore, and the same name again.
    QFile::remove(path);
    EXPECT_TRUE(StoryboardFile::load().isEmpty());
    ASSERT_TRUE(StoryboardFile::save({}));
    EXPECT_EQ(path, storedStoryboardPath());
    EXPECT_EQ(QByteArray("<Slides/>\n"), readAll(path));
    EXPECT_EQ(QStringList{info.fileName()}, QDir(folder).entryList(QDir::Files)); // no temporary file left
}

TEST(StoryboardFileTest, AFailedSaveKeepsTheOldFileAndTheKey)
{
    forgetLastRun();
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("gone/story.xml"));
    QSettings().setValue(QStringLiteral("Storyboard/slides"), path);
    EXPECT_FALSE(StoryboardFile::save({{QStringLiteral("/p/a.jpg"), QString()}}));
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(path, storedStoryboardPath());

    // A stored path that is a folder (or a FIFO) is neither read nor replaced.
    QDir(scratch.path()).mkpath(QStringLiteral("folder.xml"));
    QSettings().setValue(QStringLiteral("Storyboard/slides"), scratch.filePath(QStringLiteral("folder.xml")));
    EXPECT_TRUE(StoryboardFile::load().isEmpty());
    EXPECT_FALSE(StoryboardFile::save({}));
    EXPECT_TRUE(QFileInfo(scratch.filePath(QStringLiteral("folder.xml"))).isDir());
}
