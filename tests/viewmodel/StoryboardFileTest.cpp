// The storyboard file's bytes, its reading of foreign and damaged
// documents, and where it is kept.

#include "ViewModelTesting.h"

#include "viewmodel/StoryboardFile.h"

#include "support/HangingShare.h"
#include "support/TestFiles.h"

#include <QBuffer>
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ViewModel;
using namespace viewmodeltest;

TEST(StoryboardFileTest, WritesExactBytesAndReadsThemBack)
{
    EXPECT_EQ(QByteArray("<Slides/>\n"), StoryboardFile::toXml({}));
    // value, as written (in both attributes)
    const std::pair<QString, QByteArray> values[] = {
        {"/p/1.jpg", "/p/1.jpg"},
        {"<a href=\"x\">&amp;</a>", "&lt;a href=&quot;x&quot;>&amp;amp;&lt;/a>"},
        {"]]> ]> ]]]>", "]]&gt; ]> ]]]&gt;"},
        {"a\tb\nc\r\nd  it's", "a&#x9;b&#xa;c&#xd;&#xa;d  it's"},
        // Engine bytes 0x80-0xFF travel as the characters U+0080-U+00FF.
        {QString::fromLatin1("\xc3\xa9\x80\xff"), "\xc3\x83\xc2\xa9\xc2\x80\xc3\xbf"},
        {QString::fromUtf8("\xf0\x9f\x93\xb7 \xe5\x86\x99.jpg"), "\xf0\x9f\x93\xb7 \xe5\x86\x99.jpg"},
    };
    QList<StoryboardEntry> entries;
    QByteArray expected = "<Slides>\n";
    for (const auto& [value, written] : values) {
        entries.append({value, value});
        expected += "    <Slide settings=\"" + written + "\" filePath=\"" + written + "\"/>\n";
    }
    expected += "</Slides>\n";
    const QByteArray document = StoryboardFile::toXml(entries);
    EXPECT_EQ(expected, document);
    const QList<StoryboardEntry> read = StoryboardFile::fromXml(document);
    ASSERT_EQ(entries.size(), read.size());
    for (int i = 0; i < read.size(); ++i) {
        EXPECT_EQ(entries[i].filePath, read[i].filePath) << i;
        EXPECT_EQ(entries[i].settings, read[i].settings) << i;
    }
}

// A value XML cannot hold goes escaped into an attribute of its own and
// reads back as it was, in its place; a value that needs no escape keeps
// its bytes, a backslash in it included.
TEST(StoryboardFileTest, EscapesWhatXmlCannotHoldAndReadsItBackInItsPlace)
{
    const QList<StoryboardEntry> entries = {
        {"/p/a.jpg", "s"},
        {"/p/bell\x01 \\u0041\\.jpg", "s"},
        // Engine bytes: the name's 0x01 and a byte that is not UTF-8.
        {"/p/kept \\u0001.jpg", QString::fromLatin1("url\x01\xff")},
        {QString(QChar(0xD800)) + "x", QString(QChar(0xFFFF))},
        {QString::fromUtf8("\xf0\x9f\x93\xb7\x1f\"<"), ""},
    };
    const QByteArray document = StoryboardFile::toXml(entries);
    EXPECT_EQ(QByteArray("<Slides>\n"
                         "    <Slide settings=\"s\" filePath=\"/p/a.jpg\"/>\n"
                         "    <Slide settings=\"s\" escapedFilePath=\"/p/bell\\u0001 \\\\u0041\\\\.jpg\"/>\n"
                         "    <Slide escapedSettings=\"url\\u0001\xc3\xbf\" filePath=\"/p/kept \\u0001.jpg\"/>\n"
                         "    <Slide escapedSettings=\"\\uffff\" escapedFilePath=\"\\ud800x\"/>\n"
                         "    <Slide settings=\"\" escapedFilePath=\"\xf0\x9f\x93\xb7\\u001f&quot;&lt;\"/>\n"
                         "</Slides>\n"),
              document);
    const QList<StoryboardEntry> read = StoryboardFile::fromXml(document);
    ASSERT_EQ(entries.size(), read.size());
    for (int i = 0; i < read.size(); ++i) {
        EXPECT_EQ(entries[i].filePath, read[i].filePath) << i;
        EXPECT_EQ(entries[i].settings, read[i].settings) << i;
    }
}

TEST(StoryboardFileTest, ReadsAnyChildrenOfAnyRootUpToTheDamage)
{
    const std::pair<QByteArray, QStringList> cases[] = { // document, entries as "path|settings"
        {"<?xml version=\"1.0\"?><Root><!-- c -->text<Item filePath=\"/a\" settings=\"s\" other=\"o\"><Deep "
         "filePath=\"/no\"/></Item><Slide settings=\"only\"/><Slide filePath=\"/b\"/></Root>",
         {"/a|s", "|only", "/b|"}},
        {"<Slides>\n    <Slide settings=\"1\" filePath=\"/a\"/>\n    <Slide sett", {"/a|1"}},
        {"<Slides><Slide filePath=\"/a\"/><Slide filePath=\"/b\"/>", {"/a|", "/b|"}},
        {QByteArray("\x89PNG\r\n\x1a\n\0\0", 10), {}},
        {"", {}},
        {"<!DOCTYPE S [<!ENTITY e \"/x\">]><S><Slide filePath=\"&e;/y\"/></S>", {"/x/y|"}},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><S><Slide filePath=\"/\xe9\"/></S>", {"/\u00e9|"}},
        // The plain attribute wins; what no writer escapes stays as it is.
        {"<S><Slide filePath=\"/a\" escapedFilePath=\"/b\"/><Slide escapedSettings=\"\\u00\\q\\\\u0041\\u0041\\\"/></S>",
         {"/a|", "|\\u00\\q\\u0041A\\"}},
    };
    for (const auto& [document, entries] : cases) {
        QStringList read;
        for (const StoryboardEntry& entry : StoryboardFile::fromXml(document))
            read << entry.filePath + '|' + entry.settings;
        EXPECT_EQ(entries, read) << document.toStdString();
    }
}

// Every entry before a byte that is not UTF-8 comes back, whatever the
// reader's blocks: a few slides, hundreds, read whole or from a device.
TEST(StoryboardFileTest, ABadByteKeepsEveryEntryBeforeIt)
{
    const QByteArray badBytes[] = {"\xff", "\xe5\x86", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80"};
    for (const int good : {2, 300}) {
        for (const QByteArray& bad : badBytes) {
            QList<StoryboardEntry> entries;
            for (int i = 0; i < good + 3; ++i)
                entries.append({QString("/photos/\u5199\u771f-%1.jpg").arg(i), QString(200, QChar('s'))});
            QByteArray document = StoryboardFile::toXml(entries);
            const QByteArray damaged = QString("\u5199\u771f-%1.jpg").arg(good).toUtf8();
            document.replace(document.indexOf(damaged), 3, bad);
            QBuffer device(&document);
            ASSERT_TRUE(device.open(QIODevice::ReadOnly));
            for (const QList<StoryboardEntry>& read : {StoryboardFile::fromXml(document), StoryboardFile::fromXml(&device)}) {
                ASSERT_EQ(good, read.size()) << good << " slides, then " << bad.toHex().toStdString();
                EXPECT_EQ(entries[good - 1].filePath, read.last().filePath);
                EXPECT_EQ(entries[good - 1].settings, read.last().settings);
            }
        }
    }
}

TEST(StoryboardFileTest, FirstSaveNamesANewFileAndLaterSavesKeepIt)
{
    forgetLastRun();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir(folder).removeRecursively();
    ASSERT_TRUE(StoryboardFile::save({{"/p/a.jpg", ""}}));
    const QString path = storedStoryboardPath();
    EXPECT_EQ(QDir(folder).absolutePath(), QFileInfo(path).absolutePath());
    EXPECT_TRUE(QRegularExpression("^[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}\\.xml$")
                    .match(QFileInfo(path).fileName())
                    .hasMatch())
        << path.toStdString();
    EXPECT_EQ(StoryboardFile::toXml({{"/p/a.jpg", ""}}), readAll(path));

    // Deleted between runs: nothing to restore, then the same name again.
    QFile::remove(path);
    EXPECT_TRUE(StoryboardFile::load().isEmpty());
    ASSERT_TRUE(StoryboardFile::save({}));
    EXPECT_EQ(path, storedStoryboardPath());
    EXPECT_EQ(QByteArray("<Slides/>\n"), readAll(path));
    EXPECT_EQ(QStringList{QFileInfo(path).fileName()}, QDir(folder).entryList(QDir::Files)) << "no temporary left";

    // A folder that went: nothing read or written, and the key stays. A
    // folder where the file was is said and left alone: the next save makes
    // a new file.
    QTemporaryDir scratch;
    const QString gone = scratch.filePath("gone/story.xml"), inTheWay = scratch.filePath("folder.xml");
    QDir(scratch.path()).mkpath("folder.xml");
    QSettings().setValue("Storyboard/slides", gone);
    EXPECT_TRUE(StoryboardFile::load().isEmpty());
    EXPECT_FALSE(StoryboardFile::save({{"/p/a.jpg", ""}}));
    EXPECT_EQ(gone, storedStoryboardPath());
    QSettings().setValue("Storyboard/slides", inTheWay);
    StoryboardFile::LoadDamage damage;
    EXPECT_TRUE(StoryboardFile::load(&damage).isEmpty());
    EXPECT_EQ("a folder, not a file", damage.unreadable);
    ASSERT_TRUE(StoryboardFile::save({{"/p/a.jpg", ""}}));
    EXPECT_NE(inTheWay, storedStoryboardPath());
    EXPECT_TRUE(QFileInfo(inTheWay).isDir());
}

// The storyboard on a small disk with a few pages free: each save either
// reaches the file whole or fails as the disk fills, with the storyboard as
// it was to the byte and nothing left beside it.
TEST(StoryboardFileTest, ASaveTheDiskTakesOnlyPartOfLeavesTheStoryboardAsItWas)
{
    QTemporaryDir scratch;
    const QString small = scratch.filePath("small"), path = small + "/story.xml", filler = small + "/filler";
    ASSERT_TRUE(QDir().mkpath(small));
    const kestrel::test::scoped_mount disk("tmpfs", small.toStdString(), "tmpfs", 0, "size=64k");
    if (!disk.unavailable().empty())
        GTEST_SKIP() << disk.unavailable();
    QSettings().setValue("Storyboard/slides", path);
    QList<StoryboardEntry> slides;
    for (int i = 0; i < 40; ++i)
        slides.append({QString("/photos/holiday %1 with a long name to fill a page.jpg").arg(i), ""});
    ASSERT_TRUE(StoryboardFile::save(slides));
    int failed = 0;
    for (int pages = 0; pages <= 3; ++pages) {
        SCOPED_TRACE(pages);
        ASSERT_TRUE(kestrel::test::leave_free(filler.toStdString(), pages));
        const QByteArray before = readAll(path);
        slides.append(slides);
        if (StoryboardFile::save(slides)) {
            EXPECT_EQ(StoryboardFile::toXml(slides), readAll(path));
        } else {
            ++failed;
            EXPECT_EQ(before, readAll(path));
        }
        EXPECT_EQ(QStringList({"filler", "story.xml"}), QDir(small).entryList(QDir::Files | QDir::Hidden));
        QFile::remove(filler);
    }
    EXPECT_GE(failed, 1) << "the disk took every save: the test no longer fills it";
}

// What stands at the stored path is looked at before anything is opened: a
// named pipe (whose open would wait for a writer), a device that never
// ends, a terminal are refused by what they are, forgotten and left alone.
TEST(StoryboardFileTest, WhatIsNoRegularFileIsNeverOpened)
{
    QTemporaryDir folder;
    const QString pipe = folder.filePath("pipe.xml"), endless = folder.filePath("zero.xml");
    ASSERT_EQ(0, ::mkfifo(QFile::encodeName(pipe).constData(), 0600));
    ASSERT_TRUE(QFile::link("/dev/zero", endless));
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    const bool hasTerminal = terminal >= 0 && ::grantpt(terminal) == 0 && ::unlockpt(terminal) == 0;
    const std::pair<QString, QString> cases[] = {
        {pipe, "not a regular file: a named pipe"},
        {endless, "not a regular file: a device"},
        {hasTerminal ? QString::fromLocal8Bit(::ptsname(terminal)) : endless, "not a regular file: a device"},
    };
    for (const auto& [path, kind] : cases) {
        SCOPED_TRACE(path.toStdString());
        QSettings().setValue("Storyboard/slides", path);
        StoryboardFile::LoadDamage damage;
        EXPECT_TRUE(StoryboardFile::load(&damage).isEmpty());
        EXPECT_EQ(kind, damage.unreadable);
        EXPECT_EQ(QString(), storedStoryboardPath());
    }
    EXPECT_FALSE(QFileInfo(pipe).isFile());
    if (terminal >= 0)
        ::close(terminal);
}

// A stored file that does not read to its end is copied beside itself, as
// it was, before anything is saved over it; a clean or empty one is not.
TEST(StoryboardFileTest, ADamagedFileIsKeptBeforeTheFirstSaveOverIt)
{
    const QByteArray clean = StoryboardFile::toXml({{"/p/a.jpg", "1"}, {"/p/b.jpg", "2"}, {"/p/c.jpg", "3"}});
    QByteArray badByte = clean;
    badByte[clean.indexOf("b.jpg")] = '\xff';
    const struct {
        const char* what;
        QByteArray bytes;
        int entries;
        bool damaged;
    } cases[] = {
        {"clean", clean, 3, false},
        {"empty", "", 0, false},
        {"a bad byte", badByte, 1, true},
        {"cut short", clean.left(clean.indexOf("c.jpg")), 2, true},
        {"not well-formed", "<Slides><Slide filePath=\"/p/a.jpg\"/><Slide filePath=/p/b.jpg/></Slides>", 1, true},
        {"not XML", QByteArray("\xff\xd8\xff\xe0\0\x10JFIF", 10), 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir folder;
        const QString path = folder.filePath("story.xml");
        kestrel::test::write_file(path.toStdString(), c.bytes.toStdString());
        QSettings().setValue("Storyboard/slides", path);
        StoryboardFile::LoadDamage damage;
        EXPECT_EQ(c.entries, StoryboardFile::load(&damage).size());
        EXPECT_EQ(c.damaged, damage.damaged);
        EXPECT_EQ(c.damaged ? path + ".damaged" : QString(), damage.keptAt);
        ASSERT_TRUE(StoryboardFile::save({{"/p/new.jpg", ""}}));
        EXPECT_EQ(path, storedStoryboardPath());
        EXPECT_EQ(c.damaged ? QStringList({"story.xml", "story.xml.damaged"}) : QStringList{"story.xml"},
                  QDir(folder.path()).entryList(QDir::Files));
        if (c.damaged) {
            EXPECT_EQ(c.bytes, readAll(damage.keptAt));
        }
    }
}

// An earlier copy is never replaced; where no copy can be made (every name
// taken, a folder that cannot be written), the damaged file itself is left
// alone and the next save makes a new file.
TEST(StoryboardFileTest, AnEarlierCopyStaysAndWithoutACopyTheFileIsNotWrittenOver)
{
    forgetLastRun();
    QTemporaryDir folder;
    const QString path = folder.filePath("story.xml");
    const QByteArray damaged = "<Slides><Slide filePath=\"/p/a.jpg\"/><Sli";
    kestrel::test::write_file(path.toStdString(), damaged.toStdString());
    kestrel::test::write_file(folder.filePath("story.xml.damaged").toStdString(), "earlier");
    QSettings().setValue("Storyboard/slides", path);
    StoryboardFile::LoadDamage damage;
    EXPECT_EQ(1, StoryboardFile::load(&damage).size());
    EXPECT_EQ(folder.filePath("story.xml (2).damaged"), damage.keptAt);
    EXPECT_EQ("earlier", readAll(folder.filePath("story.xml.damaged")));
    EXPECT_EQ(damaged, readAll(damage.keptAt));

    const auto expectLeftAlone = [&](const char* why) {
        SCOPED_TRACE(why);
        QSettings().setValue("Storyboard/slides", path);
        EXPECT_EQ(1, StoryboardFile::load(&damage).size());
        EXPECT_TRUE(damage.damaged);
        EXPECT_EQ(path, damage.keptAt);
        EXPECT_EQ(QString(), storedStoryboardPath());
        ASSERT_TRUE(StoryboardFile::save({{"/p/new.jpg", ""}}));
        EXPECT_NE(path, storedStoryboardPath());
        EXPECT_EQ(damaged, readAll(path));
    };
    // Links to nothing take the names as well as files do.
    for (int n = 3; n <= 9999; ++n)
        ASSERT_TRUE(QFile::link("nowhere", folder.filePath(QString("story.xml (%1).damaged").arg(n))));
    expectLeftAlone("every name taken");

    QDir(folder.path()).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(folder.path()));
    kestrel::test::write_file(path.toStdString(), damaged.toStdString());
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    // The superuser writes into any folder, so only others can try this.
    if (!QFileInfo(folder.path()).isWritable())
        expectLeftAlone("a folder that cannot be written");
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
