// The storyboard over the engine's slide list and a real photo manager:
// every step of a session keeps the two lists together, the file is the
// session's, byte for byte, and a new storyboard restores it; bad folders
// and damaged files cost only what is bad.

#include "ViewModelTesting.h"

#include "viewmodel/StoryboardFile.h"

#include "componentmodel/EventTypes.h"

#include "support/NameOrderedPhotos.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QThread>
#include <QUrl>

#include <sys/stat.h>

#include <filesystem>
#include <set>

using namespace ViewModel;
using namespace viewmodeltest;
namespace fs = std::filesystem;

namespace {

struct StoryboardFixture : ::testing::Test {
    StoryboardFixture() { forgetLastRun(); }

    kestrel::test::TempDir dir;
    QSharedPointer<ComponentModel::ImageProvider> photos = QSharedPointer<ComponentModel::ImageProvider>::create();
    kestrel::slideshow2::slideshow_ptr show = create_gil_slideshow();

    // A new storyboard on a new slideshow, as at the next start.
    std::unique_ptr<StoryboardViewModel> start()
    {
        show = create_gil_slideshow();
        return std::make_unique<StoryboardViewModel>(show, photos);
    }
    QString file(const std::string& name, const std::string& bytes)
    {
        fs::create_directories(fs::path(dir.file(name)).parent_path());
        kestrel::test::write_file(dir.file(name), bytes);
        return qtPath(dir.file(name));
    }
    QString photo(const std::string& name)
    {
        const QString path = file(name, "");
        writePhoto(dir.file(name));
        return path;
    }
};

// The file as the storyboard must write it, from the engine's own texts.
QByteArray expectedFile(const StoryboardViewModel& storyboard)
{
    auto escaped = [](QString text) {
        return text.replace("&", "&amp;").replace("<", "&lt;").replace("\"", "&quot;").replace("\t", "&#x9;")
            .replace("\n", "&#xa;").replace("\r", "&#xd;");
    };
    QString text;
    for (int i = 0; i < storyboard.slideList()->count(); ++i) {
        const std::string properties = slideAt(storyboard, i)->slide()->get_properties();
        text += QString("    <Slide settings=\"%1\" filePath=\"%2\"/>\n")
                    .arg(escaped(QString::fromLatin1(properties.data(), qsizetype(properties.size()))),
                         escaped(slideAt(storyboard, i)->filePath()));
    }
    return text.isEmpty() ? "<Slides/>\n" : ("<Slides>\n" + text + "</Slides>\n").toUtf8();
}

QStringList settingsOf(const StoryboardViewModel& storyboard)
{
    QStringList texts;
    for (int i = 0; i < storyboard.slideList()->count(); ++i)
        texts << slideAt(storyboard, i)->settings();
    return texts;
}

} // namespace

// A folder with a non-picture, three inserts in the middle, moves, a turn,
// a removal, the next start from the file, and a clear.
TEST_F(StoryboardFixture, ASessionKeepsEngineListAndFileTogether)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "sub/e.jpg", ".hidden.jpg"})
        photo(std::string("folder/") + name);
    file("folder/notes.txt", "not a picture\n");
    const QString p = photo("p.jpg"), q = photo("q.jpg"), r = photo("r.jpg");

    LogCapture log;
    auto storyboard = start();
    qmltest::SignalLog loading;
    loading.record(storyboard.get(), &StoryboardViewModel::loadingChanged, "loading");
    storyboard->addSlide(qtPath(dir.file("folder")));
    ASSERT_TRUE(looked(*storyboard));
    EXPECT_TRUE(listsAgree(*storyboard, show));
    QStringList order = names(*storyboard);
    EXPECT_EQ((std::set<QString>{"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "notes.txt"}),
              std::set<QString>(order.begin(), order.end()));
    EXPECT_EQ(5, storyboard->index());
    EXPECT_TRUE(storedStoryboardPath().isEmpty()) << "saved while photos load";

    ASSERT_TRUE(settled(*storyboard));
    EXPECT_TRUE(listsAgree(*storyboard, show));
    order.removeAll("notes.txt");
    EXPECT_EQ(order, names(*storyboard));
    const QString notes = QFileInfo(qtPath(dir.file("folder/notes.txt"))).canonicalFilePath();
    EXPECT_EQ(1, log.count("left out: " + notes + ": not a JPEG file"));
    EXPECT_EQ((QStringList{"loading(true)", "loading(false)"}), loading.entries());
    EXPECT_EQ(expectedFile(*storyboard), readAll(storedStoryboardPath()));

    storyboard->setIndex(2); // P, Q, R go in front of it, and it stays current
    for (const QString& path : {p, q, r}) {
        storyboard->insertSlide(path);
        EXPECT_TRUE(listsAgree(*storyboard, show));
    }
    order = order.mid(0, 2) + QStringList{"p.jpg", "q.jpg", "r.jpg"} + order.mid(2);
    EXPECT_EQ(order, names(*storyboard));
    EXPECT_EQ(5, storyboard->index());
    ASSERT_TRUE(settled(*storyboard));

    // Moves, the last three naming no slide.
    const std::tuple<int, int, int> moves[] = {{3, 0, 0}, {2, 2, 2}, {-1, 0, 2}, {0, 8, 2}, {8, 0, 2}};
    for (auto [from, to, current] : moves) {
        storyboard->moveSlide(from, to);
        if (from >= 0 && from < 8 && to < 8)
            order.move(from, to);
        EXPECT_TRUE(listsAgree(*storyboard, show));
        EXPECT_EQ(order, names(*storyboard));
        EXPECT_EQ(current, storyboard->index());
    }

    storyboard->setIndex(1);
    ASSERT_TRUE(storyboard->rotateSlideCwAction()->isEnabled());
    storyboard->rotateSlideCwAction()->trigger();
    ASSERT_TRUE(turned(*slideAt(*storyboard, 1)));
    EXPECT_EQ(TopRight, redQuadrant(thumbnail(*photos, slideAt(*storyboard, 1)->photoId())));
    storyboard->setIndex(7);
    storyboard->removeSlideAction()->trigger();
    order.removeAt(7);
    EXPECT_TRUE(listsAgree(*storyboard, show));
    EXPECT_EQ(order, names(*storyboard));
    EXPECT_EQ(6, storyboard->index()) << "the last slide went: the new last one is current";
    QCoreApplication::processEvents(); // the saves follow the events
    const QByteArray saved = readAll(storedStoryboardPath());
    EXPECT_EQ(expectedFile(*storyboard), saved);

    // The next start brings back the same slides, motions and turns.
    const QStringList texts = settingsOf(*storyboard);
    storyboard.reset();
    EXPECT_EQ(saved, readAll(storedStoryboardPath())) << "the closing save";
    storyboard = start();
    EXPECT_TRUE(listsAgree(*storyboard, show));
    ASSERT_TRUE(settled(*storyboard));
    EXPECT_EQ(order, names(*storyboard));
    EXPECT_EQ(texts, settingsOf(*storyboard));
    EXPECT_EQ(TopRight, redQuadrant(thumbnail(*photos, slideAt(*storyboard, 1)->photoId())));
    EXPECT_EQ(TopLeft, redQuadrant(thumbnail(*photos, slideAt(*storyboard, 0)->photoId())));
    EXPECT_EQ(saved, readAll(storedStoryboardPath()));

    qmltest::SignalLog index;
    index.record(storyboard.get(), &StoryboardViewModel::indexChanged, "index");
    storyboard->clearAction()->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(listsAgree(*storyboard, show));
    EXPECT_EQ(QStringList{"index(-1)"}, index.entries());
    for (QAction* action : {storyboard->removeSlideAction(), storyboard->clearAction(),
                            storyboard->rotateSlideCwAction(), storyboard->rotateSlideAcwAction()})
        EXPECT_FALSE(action->isEnabled());
    EXPECT_EQ(QByteArray("<Slides/>\n"), readAll(storedStoryboardPath()));
    QFile::remove(storedStoryboardPath());
    storyboard->clear(); // already empty: nothing, not even a save
    QCoreApplication::processEvents();
    EXPECT_EQ(QStringList{"index(-1)"}, index.entries());
    EXPECT_FALSE(QFileInfo::exists(storedStoryboardPath()));
}

// A folder's photos come in name order, as the command-line maker takes
// them, whatever order the system lists them in; a sub-folder's photos at
// its place among the names.
TEST_F(StoryboardFixture, AFolderIsAddedInNameOrderWithASubFolderAtItsPlace)
{
    fs::create_directory(dir.file("trip"));
    kestrel::test::write_photos_out_of_name_order(dir.file("trip"), kestrel::test::make_jpeg({}));
    photo("trip/photo 5/B.jpg");
    photo("trip/photo 5/a.jpg");
    QStringList expected;
    for (const std::string& name : kestrel::test::photo_names_in_name_order())
        expected << qtPath(name);
    expected.insert(1, "a.jpg");
    expected.insert(2, "B.jpg");

    auto storyboard = start();
    storyboard->addSlide(qtPath(dir.file("trip")));
    ASSERT_TRUE(looked(*storyboard));
    EXPECT_EQ(expected, names(*storyboard));
    ASSERT_TRUE(settled(*storyboard));
    EXPECT_TRUE(listsAgree(*storyboard, show));
    EXPECT_EQ(expected, names(*storyboard)) << "every photo kept";
}

TEST_F(StoryboardFixture, IndexRulesAndRequestsWithoutACurrentSlide)
{
    auto storyboard = start();
    storyboard->addSlide(qtPath(dir.file("missing.jpg")));
    ASSERT_TRUE(looked(*storyboard));
    storyboard->removeSlide();
    storyboard->rotateSlideCw();
    storyboard->insertSlide(photo("a.jpg")); // no current slide: appended, none current
    storyboard->insertSlide(photo("b.jpg"));
    EXPECT_EQ((QStringList{"a.jpg", "b.jpg"}), names(*storyboard));
    EXPECT_EQ(-1, storyboard->index());
    EXPECT_FALSE(storyboard->removeSlideAction()->isEnabled());
    storyboard->addSlide(photo("c.jpg"));
    EXPECT_TRUE(listsAgree(*storyboard, show));

    qmltest::SignalLog index;
    index.record(storyboard.get(), &StoryboardViewModel::indexChanged, "index");
    const std::pair<int, int> requests[] = {{7, 2}, {7, 2}, {-5, -1}, {-1, -1}, {1, 1}};
    for (auto [request, result] : requests) {
        storyboard->setIndex(request);
        EXPECT_EQ(result, storyboard->index()) << request;
    }
    // 7 while 2 is current still announces 2; -1 while -1 is current is silent.
    EXPECT_EQ((QStringList{"index(2)", "index(2)", "index(-1)", "index(1)"}), index.entries());
    ASSERT_TRUE(settled(*storyboard));
    EXPECT_TRUE(storyboard->rotateSlideAcwAction()->isEnabled());
}

// Good photos stay (greyscale and print colours too, and a name XML
// cannot hold, in the stored file as well), each bad file leaves
// with a log line naming it and the reason and one message lists them all,
// with the photo that stays cut short after them, links back into the tree
// are walked once, and the file stays readable. A photo whose name is not
// UTF-8 (its bytes shown as \xNN) and a link to nothing are named too,
// without becoming slides; a name typed with a backslash as if escaped
// shows its backslash doubled, apart from the name of those bytes. A named pipe added on its own is left out at
// once, with what it is, and so is a dropped photo whose name came decoded
// with replacement characters.
TEST_F(StoryboardFixture, ABadFolderKeepsItsGoodPhotos)
{
    const std::string jpeg = kestrel::test::make_jpeg(kestrel::test::jpeg_options());
    kestrel::test::jpeg_options cmyk, grey, large;
    cmyk.colour = kestrel::test::jpeg_colour::cmyk;
    grey.colour = kestrel::test::jpeg_colour::grey;
    large.width = 320;
    large.height = 240;
    const std::string detailed = kestrel::test::make_jpeg(large, kestrel::test::photo_like_painter(320, 240, true));
    std::string bomb = jpeg, twelveBit = jpeg;
    kestrel::test::set_frame_size(bomb, 60000, 60000);
    kestrel::test::set_frame_precision(twelveBit, 12);
    struct BadFile {
        const char* name;
        std::string bytes;
        const char* reason;
    };
    const BadFile bad[] = {
        {"zero.jpg", "", "empty file"},
        {"png.jpg", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "not a JPEG file (it is a PNG)"},
        {"12bit.jpg", twelveBit, "unsupported JPEG: 12 bits per sample"},
        {"bomb.jpg", bomb, "too large: 60000\u00d760000"},
        {"notes.txt", "hello\n", "not a JPEG file"},
    };
    for (const BadFile& each : bad)
        file(std::string("bad/") + each.name, each.bytes);
    file("bad/cmyk.jpg", kestrel::test::make_jpeg(cmyk));
    file("bad/grey.jpg", kestrel::test::make_jpeg(grey));
    for (const char* name :
         {"good.jpg", "\xc3\xa9t\xc3\xa9.jpg", "sub/\xe5\x86\x99\xe7\x9c\x9f \xd1\x84.jpg", "bell\x01.jpg"})
        photo(std::string("bad/") + name);
    file("bad/jpeg-named.png", jpeg);
    file("bad/truncated.jpg", detailed.substr(0, detailed.size() * 6 / 10)); // decoded with grey rows
    fs::create_directory_symlink(".", dir.file("bad/loop"));
    fs::create_directory_symlink("..", dir.file("bad/sub/up"));
    fs::create_symlink("nowhere.jpg", dir.file("bad/dangling.jpg"));
    photo("bad/caf\xe9.jpg");
    file("bad/caf\\xe9.jpg", "hello\n");
    const std::pair<QString, QString> alsoNamed[] = {
        {"caf\\xe9.jpg", "its name is not UTF-8 text: rename it"},
        {"dangling.jpg", "a link to nothing"},
        {"caf\\\\xe9.jpg", "not a JPEG file"},
    };

    LogCapture log;
    auto storyboard = start();
    QStringList messages;
    QObject::connect(storyboard.get(), &StoryboardViewModel::filesLeftOut,
                     [&](const QString& message) { messages << message; });
    storyboard->addSlide(qtPath(dir.file("bad")));
    ASSERT_TRUE(looked(*storyboard));
    EXPECT_EQ(9 + std::size(bad), show->count()) << "each file once";
    ASSERT_TRUE(settled(*storyboard));
    EXPECT_TRUE(listsAgree(*storyboard, show));
    const QStringList kept = names(*storyboard);
    EXPECT_EQ((std::set<QString>{"good.jpg", "\xc3\xa9t\xc3\xa9.jpg", "\xe5\x86\x99\xe7\x9c\x9f \xd1\x84.jpg",
                                 "bell\x01.jpg", "jpeg-named.png", "truncated.jpg", "cmyk.jpg", "grey.jpg"}),
              std::set<QString>(kept.begin(), kept.end()));
    const QString folder = QFileInfo(qtPath(dir.file("bad"))).canonicalFilePath();
    ASSERT_TRUE(qmltest::waitFor([&] { return !messages.isEmpty(); }, 5000));
    QCoreApplication::processEvents();
    ASSERT_EQ(1, messages.size()) << "one message for the whole add";
    for (const BadFile& each : bad) {
        const QString line = folder + '/' + each.name + ": " + QString::fromUtf8(each.reason);
        EXPECT_EQ(1, log.count("left out: " + line)) << each.name;
        EXPECT_EQ(1, messages[0].count('\n' + line + '\n') + messages[0].endsWith('\n' + line)) << each.name;
    }
    for (const auto& [name, reason] : alsoNamed) {
        const QString line = folder + '/' + name + ": " + reason;
        EXPECT_EQ(1, log.count("left out: " + line)) << name.toStdString();
        EXPECT_EQ(1, messages[0].count('\n' + line + '\n')) << messages[0].toStdString();
    }
    EXPECT_TRUE(messages[0].endsWith("\n\nThese photos are damaged; they show only as far as they could be read:\n\n" +
                                      folder + "/truncated.jpg: cut short: the lower part is grey"))
        << messages[0].toStdString();
    QStringList stored;
    ASSERT_TRUE(storesWritten());
    for (const StoryboardEntry& entry : StoryboardFile::load())
        stored << QFileInfo(entry.filePath).fileName();
    EXPECT_EQ(kept, stored);

    const QString pipe = qtPath(dir.file("pipe.jpg"));
    ASSERT_EQ(0, mkfifo(dir.file("pipe.jpg").c_str(), 0600));
    storyboard->addSlide(pipe);
    ASSERT_TRUE(qmltest::waitFor([&] { return messages.size() == 2; }, 5000));
    EXPECT_EQ("These files were left out:\n\n" + pipe + ": not a regular file: a named pipe", messages[1]);
    const QString dropped = QUrl::fromEncoded("file://" + QUrl::toPercentEncoding(folder, "/") + "/caf%E9.jpg")
                                .toLocalFile();
    storyboard->addSlide(dropped);
    ASSERT_TRUE(qmltest::waitFor([&] { return messages.size() == 3; }, 5000));
    EXPECT_EQ("These files were left out:\n\n" + dropped + ": its name is not UTF-8 text: rename it", messages[2]);
    EXPECT_EQ(kept, names(*storyboard));
}

// The add settles only once every slide's report has arrived: a photo
// already open damaged, its report queued behind the message of a file
// left out, is in that one message even when another change (a move) asks
// whether the add has settled before the report is read. The test hands
// each slide its open, and the storyboard its reports, in that order.
TEST_F(StoryboardFixture, APhotoWhoseReportIsStillQueuedJoinsTheOneMessage)
{
    file("add/notes.txt", "hello\n");
    photo("add/good.jpg");
    cutPhotoShort(photo("add/cut.jpg").toStdString());
    auto storyboard = start();
    QStringList messages;
    QObject::connect(storyboard.get(), &StoryboardViewModel::filesLeftOut,
                     [&](const QString& message) { messages << message; });
    storyboard->addSlide(qtPath(dir.file("add")));
    ASSERT_TRUE(looked(*storyboard));
    ASSERT_EQ(3, storyboard->slideList()->count());
    auto slideNamed = [&](const QString& name) { return slideAt(*storyboard, int(names(*storyboard).indexOf(name))); };
    SlideViewModel *notes = slideNamed("notes.txt"), *good = slideNamed("good.jpg"), *cut = slideNamed("cut.jpg");
    auto deliverOpen = [](SlideViewModel* slide) {
        QDeadlineTimer deadline(20000);
        while (slide->state() == SlideViewModel::InitState && !deadline.hasExpired()) {
            QCoreApplication::sendPostedEvents(slide, ComponentModel::EventTypes::photoOpened);
            QThread::yieldCurrentThread();
        }
        return slide->state() != SlideViewModel::InitState;
    };
    ASSERT_TRUE(deliverOpen(good));
    ASSERT_TRUE(deliverOpen(notes));
    QCoreApplication::sendPostedEvents(storyboard.get(), QEvent::MetaCall); // notes.txt left out
    ASSERT_TRUE(deliverOpen(cut));
    storyboard->moveSlide(0, 1);
    ASSERT_TRUE(settled(*storyboard));
    ASSERT_TRUE(qmltest::waitFor([&] { return !messages.isEmpty(); }, 20000));
    QCoreApplication::processEvents();
    ASSERT_EQ(1, messages.size()) << messages.join("\n---\n").toStdString();
    EXPECT_TRUE(messages[0].contains("notes.txt: not a JPEG file")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains("cut.jpg: cut short")) << messages[0].toStdString();
}

// What the user may not read is skipped and named in the add's one message
// and the log: a sub-folder, a file, and a link into a folder that may not
// be entered. Root reads everything, so as root there is nothing to see.
TEST_F(StoryboardFixture, AnUnreadableFolderIsSkipped)
{
    photo("open/a.jpg");
    photo("open/locked/b.jpg");
    photo("open/secret.jpg");
    photo("shut/c.jpg");
    fs::create_symlink("../shut/c.jpg", dir.file("open/into-shut.jpg"));
    fs::permissions(dir.file("open/locked"), fs::perms::none);
    fs::permissions(dir.file("open/secret.jpg"), fs::perms::none);
    fs::permissions(dir.file("shut"), fs::perms::owner_read | fs::perms::owner_write);
    const auto mend = [&] {
        fs::permissions(dir.file("open/locked"), fs::perms::owner_all);
        fs::permissions(dir.file("shut"), fs::perms::owner_all);
    };
    if (QFileInfo(qtPath(dir.file("open/locked"))).isReadable()) {
        mend();
        GTEST_SKIP() << "this user reads folders without read permission (root): nothing to test";
    }
    LogCapture log;
    auto storyboard = start();
    QStringList messages;
    QObject::connect(storyboard.get(), &StoryboardViewModel::filesLeftOut,
                     [&](const QString& message) { messages << message; });
    storyboard->addSlide(qtPath(dir.file("open")));
    const bool told = settled(*storyboard) && qmltest::waitFor([&] { return !messages.isEmpty(); }, 5000);
    mend();
    EXPECT_EQ(QStringList{"a.jpg"}, names(*storyboard));
    ASSERT_TRUE(told);
    QCoreApplication::processEvents();
    ASSERT_EQ(1, messages.size()) << "one message for the whole add";
    const QString folder = QFileInfo(qtPath(dir.file("open"))).canonicalFilePath();
    // Each by the name it has in the folder: the link too, not where it leads.
    for (const char* name : {"locked", "secret.jpg", "into-shut.jpg"}) {
        const QString line = folder + '/' + name + ": no permission to read it";
        EXPECT_EQ(1, log.count("left out: " + line)) << name;
        EXPECT_EQ(1, messages[0].count('\n' + line + '\n') + messages[0].endsWith('\n' + line))
            << messages[0].toStdString();
    }
}

// Damaged or stale files at start: what can be read comes back, in order,
// and the first save keeps just that, with the entry of a photo away.
TEST_F(StoryboardFixture, ADamagedFileRestoresWhatItCan)
{
    const QString a = photo("a.jpg"), b = photo("b.jpg"), folder = QFileInfo(photo("folder/c.jpg")).path();
    auto slide = [](const QString& path, const QString& settings = QString()) {
        return QString("<Slide settings=\"%1\" filePath=\"%2\"/>").arg(settings, path).toUtf8();
    };
    const std::tuple<QByteArray, QStringList, QStringList> cases[] = { // file, shown, stored
        {"<Slides>" + slide(a) + slide(qtPath(dir.file("gone.jpg"))) + slide(b) + "</Slides>", {"a.jpg", "b.jpg"},
         {"a.jpg", "gone.jpg", "b.jpg"}},
        {"<Slides>" + slide(b) + slide(a) + "<Slide settings=\"x\" fil", {"b.jpg", "a.jpg"}, {"b.jpg", "a.jpg"}},
        {QByteArray("\xff\xd8\xff\xe0 JFIF\0\0", 12), {}, {}},
        {"<S>" + slide(a, "&lt;garbage") + slide(folder, "ignored") + "</S>", {"a.jpg", "c.jpg"}, {"a.jpg", "c.jpg"}},
    };
    for (const auto& [bytes, restored, kept] : cases) {
        const QString path = file("story.xml", bytes.toStdString());
        QSettings().setValue("Storyboard/slides", path);
        auto storyboard = start();
        ASSERT_TRUE(settled(*storyboard));
        EXPECT_TRUE(listsAgree(*storyboard, show));
        EXPECT_EQ(restored, names(*storyboard)) << bytes.toStdString();
        QStringList stored;
        ASSERT_TRUE(storesWritten());
        for (const StoryboardEntry& entry : StoryboardFile::fromXml(readAll(path)))
            stored << QFileInfo(entry.filePath).fileName();
        EXPECT_EQ(kept, stored) << bytes.toStdString();
    }
}

// Closing before the restored photos have opened keeps their stored texts.
TEST_F(StoryboardFixture, ClosingWhilePhotosLoadKeepsTheirTexts)
{
    auto storyboard = start();
    storyboard->addSlide(photo("a.jpg"));
    ASSERT_TRUE(settled(*storyboard));
    storyboard->rotateSlideCw();
    storyboard.reset();
    const QByteArray saved = readAll(storedStoryboardPath());
    for (int round = 0; round < 3; ++round) {
        start().reset();
        EXPECT_EQ(saved, readAll(storedStoryboardPath())) << round;
    }
}

// At start: a stored photo that is gone is left out and named once, with
// the photos that fail to open, as kept for when they are back; a stored
// file that did not read to its end is told once, with the slides it gave
// and where it is kept.
TEST_F(StoryboardFixture, AtStartTheUserIsToldOnceOfGonePhotosAndADamagedFile)
{
    const QString a = photo("a.jpg"), b = photo("b.jpg"), gone = qtPath(dir.file("gone.jpg"));
    const QString png = file("png.jpg", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    const QByteArray clean = StoryboardFile::toXml({{a, ""}, {gone, ""}, {png, ""}, {b, ""}});
    const struct {
        const char* what;
        QByteArray bytes;
        int restored; // 0: the file read cleanly
        QStringList kept;
    } cases[] = {
        {"clean", clean, 0, {"a.jpg", "b.jpg"}},
        {"cut short", clean.left(clean.indexOf("b.jpg")), 3, {"a.jpg"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = file(std::string("story-") + c.what + ".xml", c.bytes.toStdString());
        QSettings().setValue("Storyboard/slides", path);
        auto storyboard = start();
        QStringList leftOut, damaged;
        QObject::connect(storyboard.get(), &StoryboardViewModel::filesLeftOut,
                         [&](const QString& message) { leftOut << message; });
        QObject::connect(storyboard.get(), &StoryboardViewModel::photosAway,
                         [&](const QString& message) { leftOut << message; });
        QObject::connect(storyboard.get(), &StoryboardViewModel::storyboardDamaged,
                         [&](const QString& message) { damaged << message; });
        ASSERT_TRUE(settled(*storyboard));
        ASSERT_TRUE(qmltest::waitFor([&] { return !leftOut.isEmpty(); }, 5000));
        QCoreApplication::processEvents();
        EXPECT_EQ(c.kept, names(*storyboard));
        EXPECT_EQ(leftOut, QStringList{"These files were left out:\n\n" + gone + ": not found\n" + png +
                                       ": not a JPEG file (it is a PNG)\n\nThey are kept in the storyboard for "
                                       "when they are back: they come back at a later start where they are "
                                       "found. Remove them from the storyboard for good?"});
        if (c.restored == 0) {
            EXPECT_EQ(damaged, QStringList());
        } else {
            EXPECT_EQ(damaged, QStringList{QString("The stored storyboard could not be read to its end. Slides "
                                                   "restored from it: %1.\nThe file as it was is kept as \"%2\".")
                                               .arg(c.restored)
                                               .arg(path + ".damaged")});
            EXPECT_EQ(c.bytes, readAll(path + ".damaged"));
        }
        EXPECT_EQ(c.restored != 0, QFileInfo::exists(path + ".damaged"));
    }
}

// A photo in a folder that may no longer be entered is there, but may not
// be read: the user is told so, not that it is gone. Root enters every
// folder, so as root there is nothing to see.
TEST_F(StoryboardFixture, AtStartAPhotoInAFolderThatMayNotBeEnteredIsToldAsNotAllowed)
{
    const QString a = photo("a.jpg"), locked = photo("locked/c.jpg");
    const QByteArray stored = StoryboardFile::toXml({{a, ""}, {locked, ""}});
    QSettings().setValue("Storyboard/slides", file("story.xml", stored.toStdString()));
    fs::permissions(dir.file("locked"), fs::perms::owner_read | fs::perms::owner_write);
    if (QFileInfo::exists(locked)) {
        fs::permissions(dir.file("locked"), fs::perms::owner_all);
        GTEST_SKIP() << "this user enters folders without search permission (root): nothing to see";
    }
    auto storyboard = start();
    QStringList messages;
    QObject::connect(storyboard.get(), &StoryboardViewModel::photosAway,
                     [&](const QString& message) { messages << message; });
    const bool told = settled(*storyboard) && qmltest::waitFor([&] { return !messages.isEmpty(); }, 5000);
    // Added again, it is left out with the same reason, not dropped unsaid.
    QStringList leftOut;
    QObject::connect(storyboard.get(), &StoryboardViewModel::filesLeftOut,
                     [&](const QString& message) { leftOut << message; });
    storyboard->addSlide(locked);
    const bool toldAgain = qmltest::waitFor([&] { return !leftOut.isEmpty(); }, 5000);
    fs::permissions(dir.file("locked"), fs::perms::owner_all);
    ASSERT_TRUE(told);
    EXPECT_EQ(QStringList{"a.jpg"}, names(*storyboard));
    EXPECT_TRUE(messages[0].startsWith("These files were left out:\n\n" + locked +
                                       ": no permission to read it\n\n"))
        << messages[0].toStdString();
    ASSERT_TRUE(toldAgain);
    EXPECT_TRUE(leftOut[0].endsWith(":\n\n" + locked + ": no permission to read it")) << leftOut[0].toStdString();
}

namespace {

QStringList storedNames()
{
    QStringList names;
    for (const StoryboardEntry& entry : StoryboardFile::fromXml(readAll(storedStoryboardPath())))
        names << QFileInfo(entry.filePath).fileName();
    return names;
}

} // namespace

// Photos on a disk that is away at a start (a folder renamed) and a photo
// that is empty then (not yet synced) are not shown, but keep their entries,
// places and turns through that start's saves, moves and removals, and come
// back at the next start; "Remove Them" and a clear drop them for good.
TEST_F(StoryboardFixture, PhotosAwayAtStartKeepTheirPlacesUntilTheyAreBack)
{
    const QString a = photo("disk/a.jpg"), p = photo("home/p.jpg"), b = photo("disk/b.jpg"),
                  q = photo("home/q.jpg"), c = photo("disk/c.jpg"), z = photo("home/z.jpg"), r = photo("home/r.jpg");
    auto storyboard = start();
    for (const QString& path : {a, p, b, q, c, z, r})
        storyboard->addSlide(path);
    ASSERT_TRUE(settled(*storyboard));
    storyboard->setIndex(0);
    storyboard->rotateSlideCw();
    ASSERT_TRUE(turned(*slideAt(*storyboard, 0)));
    storyboard.reset();
    const QByteArray stored = readAll(storedStoryboardPath());
    const auto away = [&](bool isAway) {
        fs::rename(dir.file(isAway ? "disk" : "disk-away"), dir.file(isAway ? "disk-away" : "disk"));
        isAway ? kestrel::test::write_file(dir.file("home/z.jpg"), "") : writePhoto(dir.file("home/z.jpg"));
    };
    QStringList messages;
    QList<int> awayCounts;
    const auto startListening = [&] {
        storyboard = start();
        QObject::connect(storyboard.get(), &StoryboardViewModel::photosAway,
                         [&](const QString& message, int count) {
                             messages << message;
                             awayCounts << count;
                         });
        QObject::connect(storyboard.get(), &StoryboardViewModel::filesLeftOut,
                         [&](const QString& message) { messages << message; });
        return settled(*storyboard) && listsAgree(*storyboard, show);
    };

    away(true);
    ASSERT_TRUE(startListening());
    ASSERT_TRUE(qmltest::waitFor([&] { return !messages.isEmpty(); }, 5000));
    EXPECT_EQ((QStringList{"p.jpg", "q.jpg", "r.jpg"}), names(*storyboard));
    EXPECT_EQ(messages, QStringList{"These files were left out:\n\n" + a + ": not found\n" + b + ": not found\n" + c +
                                    ": not found\n" + z +
                                    ": empty file\n\nThey are kept in the storyboard for when they are back: they "
                                    "come back at a later start where they are found. Remove them from the "
                                    "storyboard for good?"});
    EXPECT_EQ(awayCounts, QList<int>{4}) << "the answers' singular or plural";
    EXPECT_EQ(stored, readAll(storedStoryboardPath())) << "the save at start keeps them in their places";
    // a stays first, b passes to r when p goes, c and z stay after q.
    storyboard->moveSlide(2, 0);
    storyboard->setIndex(1);
    storyboard->removeSlide();
    storyboard.reset();
    const QStringList order{"a.jpg", "r.jpg", "b.jpg", "q.jpg", "c.jpg", "z.jpg"};
    EXPECT_EQ(order, storedNames());

    away(false);
    messages.clear();
    ASSERT_TRUE(startListening());
    EXPECT_EQ(order, names(*storyboard));
    EXPECT_EQ(TopRight, redQuadrant(thumbnail(*photos, slideAt(*storyboard, 0)->photoId()))) << "a's turn";
    QCoreApplication::processEvents();
    EXPECT_EQ(QStringList(), messages);

    const QByteArray full = readAll(storedStoryboardPath());
    for (const QStringList& kept : {QStringList{"r.jpg", "q.jpg", "z.jpg"}, QStringList()}) {
        storyboard.reset();
        kestrel::test::write_file(storedStoryboardPath().toStdString(), full.toStdString());
        fs::rename(dir.file("disk"), dir.file("disk-away"));
        ASSERT_TRUE(startListening());
        kept.isEmpty() ? storyboard->clear() : storyboard->removeAwayPhotos();
        QCoreApplication::processEvents();
        fs::rename(dir.file("disk-away"), dir.file("disk"));
        EXPECT_EQ(kept, storedNames());
    }
}

// A folder at the stored path is told and left alone; a save that fails
// is told once per cause, naming the file and why, and again after one that
// worked, with a log line each time and what is stored left as it was.
TEST_F(StoryboardFixture, AStoryboardThatCannotBeReadOrStoredIsTold)
{
    const QString folderInTheWay = file("story.xml/inside", "kept").chopped(7);
    QSettings().setValue("Storyboard/slides", folderInTheWay);
    QStringList said; // before the storyboard, whose last save may speak
    auto storyboard = start();
    QObject::connect(storyboard.get(), &StoryboardViewModel::storageProblem, [&](const QString& m) { said << m; });
    storyboard->addSlide(photo("a.jpg"));
    ASSERT_TRUE(settled(*storyboard));
    EXPECT_EQ(said, QStringList{"The stored storyboard \"" + folderInTheWay +
                                "\" could not be read: a folder, not a file.\nIt is left as it is; the storyboard is "
                                "stored in a new file from now on."});
    EXPECT_EQ("kept", readAll(folderInTheWay + "/inside"));
    const QString path = storedStoryboardPath(), folder = QFileInfo(path).path(), plain = file("plain", "");

    const StoreFailure failures[] = {
        {"a folder in the file's place", [&] { QFile::rename(path, path + "~") && QDir().mkpath(path); },
         [&] { QDir().rmdir(path) && QFile::rename(path + "~", path); }, path, "a folder is in the way", path + "~"},
        {"a file where its folder should be", [&] { QSettings().setValue("Storyboard/slides", plain + "/s.xml"); },
         [&] { QSettings().setValue("Storyboard/slides", path); }, plain + "/s.xml",
         "\"" + plain + "\" is a file where a folder should be", path},
        readOnlyFolder(folder, path),
    };
    storyboard->setIndex(0);
    for (const StoreFailure& failure : failures) {
        expectToldOncePerCause(failure, "The storyboard could not be stored", "the storyboard could not be stored: ",
                               said, [&] {
                                   storyboard->rotateSlideCw();
                                   turned(*slideAt(*storyboard, 0));
                               });
        EXPECT_EQ(expectedFile(*storyboard), readAll(path)) << failure.what << ": stored once it can be";
    }
}
