// The slide view model over real slides and a photo manager with workers:
// what it publishes, in which order, what its turns do to the picture, and
// that answers never reach one that is gone.

#include "ViewModelTesting.h"

#include "slideshow2/DTPhotoManager.h"

#include <QSet>

using namespace ViewModel;
using namespace viewmodeltest;
using kestrel::slideshow2::photo_manager;

namespace {

struct SlideFixture : ::testing::Test {
    kestrel::test::TempDir dir;
    QSharedPointer<ComponentModel::ImageProvider> photos = QSharedPointer<ComponentModel::ImageProvider>::create();
    kestrel::slideshow2::photo_manager_ptr manager =
        photo_manager::create(kestrel::media_settings::create("max-side-length", 180));

    std::unique_ptr<SlideViewModel> make(const std::string& path, const QString& settings = QString())
    {
        return std::make_unique<SlideViewModel>(kestrel::slideshow2::create_common_slide(), qtPath(path), settings,
                                                manager, photos);
    }

    std::string photo(const char* name)
    {
        writePhoto(dir.file(name));
        return dir.file(name);
    }
};

bool done(const SlideViewModel& slide)
{
    return qmltest::waitFor([&] { return slide.state() != SlideViewModel::InitState; }, 20000);
}

} // namespace

TEST_F(SlideFixture, PublishesThePhotoThenTurnsItUnderFreshIds)
{
    auto slide = make(photo("quadrants.jpg"));
    qmltest::SignalLog log;
    log.record(slide.get(), &SlideViewModel::photoIdChanged, QStringLiteral("photoId"));
    log.record(slide.get(), &SlideViewModel::stateChanged, QStringLiteral("state"));
    log.record(slide.get(), &SlideViewModel::changed, QStringLiteral("changed"));
    bool actionsReadyAtDone = false;
    QObject::connect(slide.get(), &SlideViewModel::stateChanged, [&] {
        actionsReadyAtDone = slide->rotateCwAction()->isEnabled() && slide->rotateAcwAction()->isEnabled();
    });
    EXPECT_EQ(SlideViewModel::InitState, slide->state());
    EXPECT_TRUE(slide->settings().isEmpty());
    EXPECT_FALSE(slide->rotateCwAction()->isEnabled());

    ASSERT_TRUE(done(*slide));
    ASSERT_EQ(SlideViewModel::DoneState, slide->state());
    EXPECT_EQ((QStringList{QStringLiteral("photoId(%1)").arg(slide->photoId()), QStringLiteral("state(DoneState)")}),
              log.entries());
    EXPECT_TRUE(actionsReadyAtDone);
    EXPECT_TRUE(slide->photoId().startsWith(QLatin1Char('{')) && slide->photoId().endsWith(QLatin1Char('}')));
    QImage picture = thumbnail(*photos, slide->photoId());
    EXPECT_EQ(QSize(180, 120), picture.size());
    EXPECT_EQ(TopLeft, redQuadrant(picture));
    EXPECT_EQ(QString::fromLatin1(slide->slide()->get_properties().c_str()), slide->settings());

    // Each turn: a new id, the old one emptied, then changed(); the text
    // follows the engine's.
    struct Turn {
        void (SlideViewModel::*rotate)();
        int red;
    };
    const Turn turns[] = {{&SlideViewModel::rotateCw, TopRight},    {&SlideViewModel::rotateAcw, TopLeft},
                          {&SlideViewModel::rotateCw, TopRight},    {&SlideViewModel::rotateCw, BottomRight},
                          {&SlideViewModel::rotateCw, BottomLeft},  {&SlideViewModel::rotateCw, TopLeft}};
    QSet<QString> ids{slide->photoId()};
    for (const Turn& turn : turns) {
        const QString before = slide->photoId();
        log.clear();
        (slide.get()->*turn.rotate)();
        EXPECT_EQ((QStringList{QStringLiteral("photoId(%1)").arg(slide->photoId()), QStringLiteral("changed()")}),
                  log.entries());
        EXPECT_FALSE(ids.contains(slide->photoId()));
        ids.insert(slide->photoId());
        EXPECT_TRUE(photos->requestPixmap(before, nullptr, QSize()).isNull());
        picture = thumbnail(*photos, slide->photoId());
        EXPECT_EQ(turn.red, redQuadrant(picture));
        const bool portrait = turn.red == TopRight || turn.red == BottomLeft;
        EXPECT_EQ(portrait ? QSize(120, 180) : QSize(180, 120), picture.size());
        EXPECT_EQ(QString::fromLatin1(slide->slide()->get_properties().c_str()), slide->settings());
    }

    // A removed slide leaves no picture behind.
    const QString last = slide->photoId();
    slide.reset();
    EXPECT_TRUE(photos->requestPixmap(last, nullptr, QSize()).isNull());
}

TEST_F(SlideFixture, APhotoThatFailsEndsInErrorStateOnly)
{
    const std::string empty = dir.file("empty.jpg");
    kestrel::test::write_file(empty, "");
    for (const std::string& path : {empty, dir.file("missing.jpg")}) {
        auto slide = make(path, QStringLiteral("kept"));
        qmltest::SignalLog log;
        log.record(slide.get(), &SlideViewModel::photoIdChanged, QStringLiteral("photoId"));
        log.record(slide.get(), &SlideViewModel::stateChanged, QStringLiteral("state"));
        log.record(slide.get(), &SlideViewModel::changed, QStringLiteral("changed"));
        ASSERT_TRUE(done(*slide));
        slide->rotateCw(); // needs a photo: nothing happens
        QCoreApplication::processEvents();
        EXPECT_EQ(QStringList{QStringLiteral("state(ErrorState)")}, log.entries()) << path;
        EXPECT_TRUE(slide->photoId().isEmpty());
        EXPECT_FALSE(slide->rotateCwAction()->isEnabled() || slide->rotateAcwAction()->isEnabled());
    }
}

// A text from an earlier run comes back unchanged, byte for byte (the path
// inside it is not ASCII), is applied to the photo, and is what the slide
// reports until the photo is open.
TEST_F(SlideFixture, AStoredTextIsKeptAndApplied)
{
    const std::string path = photo("\xc3\xa9t\xc3\xa9 \xe2\x98\x80.jpg");
    auto first = make(path);
    ASSERT_TRUE(done(*first));
    first->rotateCw();
    const QString stored = first->settings();
    ASSERT_TRUE(std::any_of(stored.begin(), stored.end(), [](QChar c) { return c.unicode() >= 0x80; }));

    auto second = make(path, stored);
    EXPECT_EQ(stored, second->settings());
    ASSERT_TRUE(done(*second));
    ASSERT_EQ(SlideViewModel::DoneState, second->state());
    EXPECT_EQ(stored, second->settings());
    EXPECT_EQ(stored.toLatin1().toStdString(), second->slide()->get_properties());
    EXPECT_EQ(TopRight, redQuadrant(thumbnail(*photos, second->photoId())));
}

TEST_F(SlideFixture, WithoutASlideNothingOpens)
{
    SlideViewModel slide(kestrel::slideshow2::slide_ptr(), qtPath(photo("a.jpg")), QString(), manager, photos);
    QCoreApplication::processEvents();
    EXPECT_EQ(SlideViewModel::InitState, slide.state());
    EXPECT_EQ(0, manager->pending_count());
}

// View models destroyed while their photos queue or decode: the queued
// loads are cancelled, the running ones answer into a closed mailbox.
TEST_F(SlideFixture, DestroyedWhileLoadingGetsNoAnswer)
{
    kestrel::test::jpeg_options options;
    options.width = 1600;
    options.height = 1200;
    const std::string big = dir.file("big.jpg");
    kestrel::test::write_file(big, kestrel::test::make_jpeg(options, kestrel::test::photo_like_painter(1600, 1200, true)));
    manager = photo_manager::create(kestrel::media_settings::create("hardware-concurrency", 2));

    int answers = 0;
    for (int round = 0; round < 3; ++round) {
        std::vector<std::unique_ptr<SlideViewModel>> slides;
        for (int i = 0; i < 12; ++i) {
            slides.push_back(make(big));
            QObject::connect(slides.back().get(), &SlideViewModel::stateChanged, [&] { ++answers; });
        }
        slides.clear();
        ASSERT_TRUE(qmltest::waitFor([&] { return manager->pending_count() == 0; }, 20000));
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(0, answers);
}
