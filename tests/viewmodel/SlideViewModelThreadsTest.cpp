// The slide view model over real slides and a photo manager with workers:
// what it publishes, in which order, what its turns do to the picture, and
// that answers never reach one that is gone.

#include "ViewModelTesting.h"

#include "slideshow2/DTCommonSlide.h"
#include "slideshow2/DTPhotoManager.h"

#include <QSet>

using namespace ViewModel;
using namespace viewmodeltest;
using kestrel::slideshow2::photo_manager;

namespace {

struct SlideFixture : ::testing::Test {
    kestrel::test::TempDir dir;
    QSharedPointer<ComponentModel::ImageProvider> photos = QSharedPointer<ComponentModel::ImageProvider>::create();
    kestrel::slideshow2::photo_manager_ptr manager = photo_manager::create(kestrel::media_settings_ptr());

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

bool answered(const SlideViewModel& slide)
{
    return qmltest::waitFor([&] { return slide.state() != SlideViewModel::InitState; }, 20000);
}

void record(qmltest::SignalLog& log, SlideViewModel& slide)
{
    log.record(&slide, &SlideViewModel::photoIdChanged, "photoId");
    log.record(&slide, &SlideViewModel::stateChanged, "state");
    log.record(&slide, &SlideViewModel::changed, "changed");
}

} // namespace

TEST_F(SlideFixture, PublishesThePhotoThenTurnsItUnderFreshIds)
{
    auto slide = make(photo("quadrants.jpg"));
    qmltest::SignalLog log;
    record(log, *slide);
    bool actionsReadyAtDone = false;
    QObject::connect(slide.get(), &SlideViewModel::stateChanged, [&] {
        actionsReadyAtDone = slide->rotateCwAction()->isEnabled() && slide->rotateAcwAction()->isEnabled();
    });
    EXPECT_TRUE(slide->settings().isEmpty());
    EXPECT_FALSE(slide->rotateCwAction()->isEnabled());
    ASSERT_TRUE(answered(*slide));
    ASSERT_EQ(SlideViewModel::DoneState, slide->state());
    EXPECT_EQ((QStringList{"photoId(" + slide->photoId() + ")", "state(DoneState)"}), log.entries());
    EXPECT_TRUE(actionsReadyAtDone);
    EXPECT_TRUE(slide->photoId().startsWith('{') && slide->photoId().endsWith('}'));
    EXPECT_EQ(QSize(180, 120), thumbnail(*photos, slide->photoId()).size());
    EXPECT_EQ(TopLeft, redQuadrant(thumbnail(*photos, slide->photoId())));

    // Each turn: a new id, the old one emptied, then changed(); the text
    // is the engine's. Four quarter turns one way come back to the start.
    const std::pair<void (SlideViewModel::*)(), int> turns[] = {
        {&SlideViewModel::rotateCw, TopRight}, {&SlideViewModel::rotateAcw, TopLeft},
        {&SlideViewModel::rotateCw, TopRight}, {&SlideViewModel::rotateCw, BottomRight},
        {&SlideViewModel::rotateCw, BottomLeft}, {&SlideViewModel::rotateCw, TopLeft}};
    QSet<QString> ids{slide->photoId()};
    for (const auto& [rotate, red] : turns) {
        const QString before = slide->photoId();
        log.clear();
        (slide.get()->*rotate)();
        ASSERT_TRUE(turned(*slide));
        EXPECT_EQ((QStringList{"photoId(" + slide->photoId() + ")", "changed()"}), log.entries());
        EXPECT_FALSE(ids.contains(slide->photoId()));
        ids.insert(slide->photoId());
        EXPECT_TRUE(thumbnail(*photos, before).isNull());
        const QImage picture = thumbnail(*photos, slide->photoId());
        EXPECT_EQ(red, redQuadrant(picture));
        EXPECT_EQ(red == TopRight || red == BottomLeft ? QSize(120, 180) : QSize(180, 120), picture.size());
        EXPECT_EQ(QString::fromLatin1(slide->slide()->get_properties().c_str()), slide->settings());
    }
    QMetaObject::invokeMethod(slide.get(), "rotateCw", Qt::QueuedConnection); // other events still work
    QCoreApplication::processEvents();
    ASSERT_TRUE(turned(*slide));
    EXPECT_EQ(TopRight, redQuadrant(thumbnail(*photos, slide->photoId())));
    const QString last = slide->photoId();
    slide.reset();
    EXPECT_TRUE(thumbnail(*photos, last).isNull()) << "a removed slide keeps no picture";
}

TEST_F(SlideFixture, APhotoThatFailsEndsInErrorStateOnly)
{
    kestrel::test::write_file(dir.file("empty.jpg"), "");
    for (const char* name : {"empty.jpg", "missing.jpg"}) {
        auto slide = make(dir.file(name), "kept");
        qmltest::SignalLog log;
        record(log, *slide);
        ASSERT_TRUE(answered(*slide));
        slide->rotateCw(); // needs a photo: nothing happens
        EXPECT_EQ(QStringList{"state(ErrorState)"}, log.entries()) << name;
        EXPECT_TRUE(slide->photoId().isEmpty());
        EXPECT_FALSE(slide->rotateCwAction()->isEnabled() || slide->rotateAcwAction()->isEnabled());
    }
}

// A text from an earlier run (holding the non-ASCII path) is what the slide
// reports until its photo is open, is applied to it, and comes back
// unchanged, byte for byte.
TEST_F(SlideFixture, AStoredTextIsKeptAndApplied)
{
    const std::string path = photo("\xc3\xa9t\xc3\xa9 \xe2\x98\x80.jpg");
    auto first = make(path);
    ASSERT_TRUE(answered(*first));
    first->rotateCw();
    ASSERT_TRUE(turned(*first));
    const QString stored = first->settings();
    ASSERT_TRUE(std::any_of(stored.begin(), stored.end(), [](QChar c) { return c.unicode() >= 0x80; }));

    auto second = make(path, stored);
    EXPECT_EQ(stored, second->settings());
    ASSERT_TRUE(answered(*second));
    EXPECT_EQ(stored.toLatin1().toStdString(), second->slide()->get_properties());
    EXPECT_EQ(stored, second->settings());
    EXPECT_EQ(TopRight, redQuadrant(thumbnail(*photos, second->photoId())));
}

// View models destroyed while their photos queue or decode: queued loads
// are cancelled, running ones answer into a closed mailbox.
TEST_F(SlideFixture, DestroyedWhileLoadingGetsNoAnswer)
{
    kestrel::test::jpeg_options options;
    options.width = 1600;
    options.height = 1200;
    kestrel::test::write_file(dir.file("big.jpg"),
                              kestrel::test::make_jpeg(options, kestrel::test::photo_like_painter(1600, 1200, true)));
    manager = photo_manager::create(kestrel::media_settings::create("hardware-concurrency", 2));
    for (int round = 0; round < 3; ++round) {
        std::vector<std::unique_ptr<SlideViewModel>> slides;
        for (int i = 0; i < 12; ++i)
            slides.push_back(make(dir.file("big.jpg")));
        slides.clear();
        ASSERT_TRUE(qmltest::waitFor([&] { return manager->pending_count() == 0; }, 20000));
    }
    auto survivor = make(photo("a.jpg"));
    ASSERT_TRUE(answered(*survivor));
    EXPECT_EQ(SlideViewModel::DoneState, survivor->state());
}
