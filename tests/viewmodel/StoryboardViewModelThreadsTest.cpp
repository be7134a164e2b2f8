// The storyboard over the engine's slide list and a real photo manager:
// every step of a session keeps the two lists together, the file is the
// session's, byte for byte, and a new storyboard restores it; bad folders
// and damaged files cost only what is bad.

#include "ViewModelTesting.h"

#include "viewmodel/StoryboardFile.h"

#include <filesystem>
#include <set>

using namespace ViewModel;
using namespace viewmodeltest;

namespace {

struct StoryboardFixture : ::testing::Test {
    StoryboardFixture() { forgetLastRun(); }

    kestrel::test::TempDir dir;
    QSharedPointer<ComponentModel::ImageProvider> photos = QSharedPointer<ComponentModel::ImageProvider>::create();
    kestrel::slideshow2::slideshow_ptr show = makeSlideshow();

    std::unique_ptr<StoryboardViewModel> makeStoryboard()
    {
        return std::make_unique<StoryboardViewModel>(show, photos);
    }

    QString photo(const std::string& name)
    {
        std::filesystem::create_directories(std::filesystem::path(dir.file(name)).parent_path());
        writePhoto(dir.file(name));
        return qtPath(dir.file(name));
    }
    QString file(const std::string& name, const std::string& bytes)
    {
        kestrel::test::write_file(dir.file(name), bytes);
        return qtPath(dir.file(name));
    }
};

// The file as the storyboard must write it, from the engine's own texts.
QByteArray expectedFile(const StoryboardViewModel& storyboard)
{
    auto escaped = [](QString text) {
        return text.replace(QLatin1String("&"), QLatin1String("&amp;"))
            .replace(QLatin1String("<"), QLatin1String("&lt;"))
            .replace(QLatin1String("\""), QLatin1String("&quot;"))
            .replace(QLatin1String("\t"), QLatin1String("&#x9;"))
            .replace(QLatin1String("\n"), QLatin1String("&#xa;"))
            .replace(QLatin1String("\r"), QLatin1String("&#xd;"));
    };
    const int count = storyboard.slideList()->count();
    if (count == 0)
        return "<Slides/>\n";
    QString text = QStringLiteral("<Slides>\n");
    for (int i = 0; i < count; ++i) {
        const SlideViewModel* slide = slideAt(storyboard, i);
        const std::string properties = slide->slide()->get_properties();
        text += QStringLiteral("    <Slide settings=\"%1\" filePath=\"%2\"/>\n")
                    .arg(escaped(QString::fromLatin1(properties.data(), static_cast<qsizetype>(properties.size()))),
                         escaped(slide->filePath()));
    }
    return (text + QStringLiteral("</Slides>\n")).toUtf8();
}

QStringList moved(QStringList list, int from, int to)
{
    list.move(from, to);
    return list;
}

} // namespace

// A session: a folder with a non-picture, three inserts in the middle, two
// moves, a turn, a removal, then a new storyboard from the file, and a clear.
TEST_F(StoryboardFixture, ASessionKeepsEngineListAndFileTogether)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "sub/e.jpg", ".hidden.jpg"})
        photo(name);
    file("notes.txt", "not a picture\n");
    const QString p = photo("more/p.jpg"), q = photo("more/q.jpg"), r = photo("more/r.jpg");
    std::filesystem::create_directories(dir.file("folder"));
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "notes.txt", "sub"})
        std::filesystem::rename(dir.file(name), dir.file(std::string("folder/") + name));

    LogCapture log;
    auto storyboard = makeStoryboard();
    qmltest::SignalLog loading;
    loading.record(storyboard.get(), &StoryboardViewModel::loadingChanged, QStringLiteral("loading"));
    EXPECT_EQ(-1, storyboard->index());

    storyboard->addSlide(qtPath(dir.file("folder")));
    EXPECT_TRUE(listsAgree(*storyboard, show));
    const QStringList added = names(*storyboard);
    EXPECT_EQ((std::set<QString>{"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "notes.txt"}),
              std::set<QString>(added.begin(), added.end()));
    EXPECT_EQ(5, storyboard->index());
    EXPECT_TRUE(storyboard->loading());
    EXPECT_TRUE(storedStoryboardPath().isEmpty()) << "saved while photos load";

    ASSERT_TRUE(settled(*storyboard));
    EXPECT_TRUE(listsAgree(*storyboard, show));
    QStringList order = added;
    order.removeAll(QStringLiteral("notes.txt"));
    EXPECT_EQ(order, names(*storyboard));
    EXPECT_EQ(1, log.linesWith(QStringLiteral("notes.txt")).size());
    EXPECT_EQ((QStringList{"loading(true)", "loading(false)"}), loading.entries());
    EXPECT_EQ(expectedFile(*storyboard), readAll(storedStoryboardPath()));

    // P, Q, R go in front of slide 2, which stays current.
    storyboard->setIndex(2);
    for (const QString& path : {p, q, r}) {
        storyboard->insertSlide(path);
        EXPECT_TRUE(listsAgree(*storyboard, show));
    }
    order = order.mid(0, 2) + QStringList{"p.jpg", "q.jpg", "r.jpg"} + order.mid(2);
    EXPECT_EQ(order, names(*storyboard));
    EXPECT_EQ(5, storyboard->index());
    ASSERT_TRUE(settled(*storyboard));

    storyboard->moveSlide(3, 0);
    EXPECT_TRUE(listsAgree(*storyboard, show));
    EXPECT_EQ(order = moved(order, 3, 0), names(*storyboard));
    EXPECT_EQ(0, storyboard->index());
    storyboard->moveSlide(2, 2);
    EXPECT_EQ(order, names(*storyboard));
    EXPECT_EQ(2, storyboard->index());

    // Out-of-range requests from a view change nothing.
    const std::pair<int, int> stale[] = {{-1, 0}, {0, 8}, {8, 0}, {0, -1}};
    for (auto [from, to] : stale)
        storyboard->moveSlide(from, to);
    EXPECT_TRUE(listsAgree(*storyboard, show));
    EXPECT_EQ(order, names(*storyboard));

    storyboard->setIndex(1);
    ASSERT_TRUE(storyboard->rotateSlideCwAction()->isEnabled());
    storyboard->rotateSlideCwAction()->trigger();
    const SlideViewModel* turned = slideAt(*storyboard, 1);
    EXPECT_EQ(TopRight, redQuadrant(thumbnail(*photos, turned->photoId())));
    QCoreApplication::processEvents(); // the save that follows the turn
    EXPECT_EQ(expectedFile(*storyboard), readAll(storedStoryboardPath()));

    storyboard->setIndex(7);
    storyboard->removeSlideAction()->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(listsAgree(*storyboard, show));
    order.removeAt(7);
    EXPECT_EQ(order, names(*storyboard));
    EXPECT_EQ(6, storyboard->index()) << "the last slide went: the new last one is current";
    const QByteArray saved = readAll(storedStoryboardPath());
    EXPECT_EQ(expectedFile(*storyboard), saved);

    // A new storyboard brings back the same slides with their motions and turns.
    QStringList texts;
    for (int i = 0; i < storyboard->slideList()->count(); ++i)
        texts << slideAt(*storyboard, i)->settings();
    storyboard.reset();
    EXPECT_EQ(saved, readAll(storedStoryboardPath())) << "the closing save";
    show = makeSlideshow();
    storyboard = makeStoryboard();
    EXPECT_TRUE(listsAgree(*storyboard, show));
    ASSERT_TRUE(settled(*storyboard));
    EXPECT_EQ(order, names(*storyboard));
    QStringList restoredTexts;
    for (int i = 0; i < storyboard->slideList()->count(); ++i)
        restoredTexts << slideAt(*storyboard, i)->settings();
    EXPECT_EQ(texts, restoredTexts);
    EXPECT_EQ(TopRight, redQuadrant(thumbnail(*photos, slideAt(*storyboard, 1)->photoId())));
    EXPECT_EQ(TopLeft, redQuadrant(thumbnail(*photos, slideAt(*storyboard, 0)->photoId())));
    EXPECT_EQ(saved, readAll(storedStoryboardPath()));

    qmltest::SignalLog index;
    index.record(storyboard.get(), &StoryboardViewModel::indexChanged, QStringLiteral("index"));
    storyboard->clearAction()->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(listsAgree(*storyboard, show));
    EXPECT_EQ(0u, show->count());
    EXPECT_EQ(-1, storyboard->index());
    EXPECT_EQ(QStringList{"index(-1)"}, index.entries());
    index.clear();
    for (QAction* action : {storyboard->removeSlideAction(), storyboard->clearAction(),
                            storyboard->rotateSlideCwAction(), storyboard->rotateSlideAcwAction()})
        EXPECT_FALSE(action->isEnabled());
    EXPECT_EQ(QByteArray("<Slides/>\n"), readAll(storedStoryboardPath()));
    QFile::remove(storedStoryboardPath());
    storyboard->clear(); // empty: nothing, not even a save
    QCoreApplication::processEvents();
    EXPECT_TRUE(index.entries().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(storedStoryboardPath()));
}

TEST_F(StoryboardFixture, IndexRulesAndRequestsWithoutACurrentSlide)
{
    auto storyboard = makeStoryboard();
    const QString a = photo("a.jpg"), b = photo("b.jpg"), c = photo("c.jpg");
    storyboard->addSlide(qtPath(dir.file("missing.jpg")));
    EXPECT_EQ(0u, show->count());
    storyboard->removeSlide();
    storyboard->rotateSlideCw();
    storyboard->insertSlide(a); // no current slide: appended, none current
    storyboard->insertSlide(b);
    EXPECT_EQ((QStringList{"a.jpg", "b.jpg"}), names(*storyboard));
    EXPECT_EQ(-1, storyboard->index());
    EXPECT_FALSE(storyboard->removeSlideAction()->isEnabled());
    EXPECT_TRUE(storyboard->clearAction()->isEnabled());
    storyboard->addSlide(c);
    EXPECT_TRUE(listsAgree(*storyboard, show));

    qmltest::SignalLog index;
    index.record(storyboard.get(), &StoryboardViewModel::indexChanged, QStringLiteral("index"));
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

// Good photos stay, each bad file leaves with a log line naming it, links
// back into the tree are walked once, and the file stays readable.
TEST_F(StoryboardFixture, ABadFolderKeepsItsGoodPhotos)
{
    namespace fs = std::filesystem;
    kestrel::test::jpeg_options options;
    const std::string jpeg = kestrel::test::make_jpeg(options);
    auto coloured = [&](kestrel::test::jpeg_colour colour) {
        kestrel::test::jpeg_options o;
        o.colour = colour;
        return kestrel::test::make_jpeg(o);
    };
    std::string bomb = jpeg, twelveBit = jpeg;
    kestrel::test::set_frame_size(bomb, 60000, 60000);
    kestrel::test::set_frame_precision(twelveBit, 12);
    const std::string big = kestrel::test::make_jpeg(
        [] {
            kestrel::test::jpeg_options o;
            o.width = 320;
            o.height = 240;
            return o;
        }(),
        kestrel::test::photo_like_painter(320, 240, true));

    const std::set<QString> good = {"good.jpg", "\xc3\xa9t\xc3\xa9.jpg", "\xe5\x86\x99\xe7\x9c\x9f \xd1\x84.jpg",
                                    "jpeg-named.png", "truncated.jpg"};
    for (const char* name : {"good.jpg", "\xc3\xa9t\xc3\xa9.jpg", "sub/\xe5\x86\x99\xe7\x9c\x9f \xd1\x84.jpg"})
        photo(std::string("bad/") + name);
    file("bad/jpeg-named.png", jpeg);
    file("bad/truncated.jpg", big.substr(0, big.size() * 6 / 10));
    const std::pair<const char*, std::string> bad[] = {
        {"zero.jpg", ""},
        {"png.jpg", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
        {"cmyk.jpg", coloured(kestrel::test::jpeg_colour::cmyk)},
        {"grey.jpg", coloured(kestrel::test::jpeg_colour::grey)},
        {"12bit.jpg", twelveBit},
        {"bomb.jpg", bomb},
        {"notes.txt", "hello\n"},
    };
    for (const auto& [name, bytes] : bad)
        file(std::string("bad/") + name, bytes);
    fs::create_directory_symlink(".", dir.file("bad/loop"));
    fs::create_directory_symlink("..", dir.file("bad/sub/up"));
    fs::create_symlink("nowhere.jpg", dir.file("bad/dangling.jpg"));

    LogCapture log;
    auto storyboard = makeStoryboard();
    storyboard->addSlide(qtPath(dir.file("bad")));
    EXPECT_EQ(good.size() + std::size(bad), show->count()) << "each file once";
    ASSERT_TRUE(settled(*storyboard));
    EXPECT_TRUE(listsAgree(*storyboard, show));
    const QStringList kept = names(*storyboard);
    EXPECT_EQ(good, std::set<QString>(kept.begin(), kept.end()));
    const QString folder = QFileInfo(qtPath(dir.file("bad"))).canonicalFilePath();
    for (const auto& [name, bytes] : bad)
        EXPECT_EQ(1, log.linesWith(QStringLiteral("leaves the storyboard: ") + folder + QLatin1Char('/') +
                                   QString::fromUtf8(name))
                         .size())
            << name;

    QStringList stored;
    for (const StoryboardEntry& entry : StoryboardFile::load())
        stored << QFileInfo(entry.filePath).fileName();
    EXPECT_EQ(kept, stored);
}

TEST_F(StoryboardFixture, AnUnreadableFolderIsSkipped)
{
    photo("open/a.jpg");
    photo("open/locked/b.jpg");
    std::filesystem::permissions(dir.file("open/locked"), std::filesystem::perms::none);
    if (QFileInfo(qtPath(dir.file("open/locked"))).isReadable()) {
        std::filesystem::permissions(dir.file("open/locked"), std::filesystem::perms::owner_all);
        GTEST_SKIP() << "this user reads folders without read permission (root): nothing to test";
    }
    LogCapture log;
    auto storyboard = makeStoryboard();
    storyboard->addSlide(qtPath(dir.file("open")));
    std::filesystem::permissions(dir.file("open/locked"), std::filesystem::perms::owner_all);
    EXPECT_EQ(QStringList{"a.jpg"}, names(*storyboard));
    EXPECT_EQ(1, log.linesWith(QStringLiteral("locked")).size());
}

// Damaged or stale files at start: what can be read comes back, in order.
TEST_F(StoryboardFixture, ADamagedFileRestoresWhatItCan)
{
    const QString a = photo("a.jpg"), b = photo("b.jpg");
    photo("folder/c.jpg");
    const QString folder = qtPath(dir.file("folder"));
    const QString gone = qtPath(dir.file("gone.jpg"));
    auto slide = [](const QString& path, const char* settings = "") {
        return QStringLiteral("<Slide settings=\"%1\" filePath=\"%2\"/>").arg(QLatin1String(settings), path).toUtf8();
    };
    struct Case {
        const char* name;
        QByteArray bytes;
        QStringList restored;
    };
    const Case cases[] = {
        {"a photo that is gone", "<Slides>" + slide(a) + slide(gone) + slide(b) + "</Slides>", {"a.jpg", "b.jpg"}},
        {"truncated", "<Slides>" + slide(b) + slide(a) + "<Slide settings=\"x\" fil", {"b.jpg", "a.jpg"}},
        {"not XML", QByteArray("\xff\xd8\xff\xe0 JFIF\0\0", 12), {}},
        {"unreadable texts and a folder", "<S>" + slide(a, "&lt;garbage") + slide(folder, "ignored") + "</S>",
         {"a.jpg", "c.jpg"}},
    };
    for (const Case& c : cases) {
        const QString path = file("story.xml", c.bytes.toStdString());
        QSettings().setValue(QStringLiteral("Storyboard/slides"), path);
        show = makeSlideshow();
        auto storyboard = makeStoryboard();
        ASSERT_TRUE(settled(*storyboard)) << c.name;
        EXPECT_TRUE(listsAgree(*storyboard, show));
        EXPECT_EQ(c.restored, names(*storyboard)) << c.name;
        QStringList stored;
        for (const StoryboardEntry& entry : StoryboardFile::fromXml(readAll(path)))
            stored << QFileInfo(entry.filePath).fileName();
        EXPECT_EQ(c.restored, stored) << c.name << ": the file after the first settled save";
    }
}

// Closing before the restored photos have opened keeps their stored texts.
TEST_F(StoryboardFixture, ClosingWhilePhotosLoadKeepsTheirTexts)
{
    auto first = makeStoryboard();
    first->addSlide(photo("a.jpg"));
    ASSERT_TRUE(settled(*first));
    first->rotateSlideCw();
    first.reset();
    const QByteArray saved = readAll(storedStoryboardPath());

    for (int round = 0; round < 3; ++round) {
        show = makeSlideshow();
        makeStoryboard().reset();
        EXPECT_EQ(saved, readAll(storedStoryboardPath())) << round;
    }
}
