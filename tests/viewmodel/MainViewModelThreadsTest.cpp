// The root view model over the renderer-backed slideshow and real children:
// what the view reads of it, the pages and advertisements it opens, and a
// conversion that ends in failure (the user is alerted) or is still running
// when it goes.

#include "ViewModelDoubles.h"
#include "ViewModelTesting.h"

#include "viewmodel/ConvertViewModel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/MusicViewModel.h"
#include "viewmodel/PlayerViewModel.h"
#include "viewmodel/SettingsViewModel.h"

#include "componentmodel/DesktopLauncher.h"
#include "feedback/Ad.h"

#include <QAction>
#include <QTemporaryDir>

#include <memory>

using ViewModel::MainViewModel;
using namespace ViewModelTest;

namespace {

struct MainViewModelTest : ::testing::Test {
    MainViewModelTest()
    {
        clearSettingsStore();
        previousLauncher = ComponentModel::setUrlLauncher([this](const QUrl& url, ComponentModel::LaunchMode) {
            opened << url.toString();
            return true;
        });
        main = std::make_unique<MainViewModel>();
    }
    ~MainViewModelTest() override { ComponentModel::setUrlLauncher(previousLauncher); }

    void deliver(const Feedback::Ad& ad)
    {
        ASSERT_TRUE(QMetaObject::invokeMethod(main.get(), "onAdvertisementReceived", Q_ARG(Feedback::Ad, ad)));
    }
    ViewModel::SettingsViewModel& settings()
    {
        return *static_cast<ViewModel::SettingsViewModel*>(main->settingsViewModel());
    }

    UsageEventRecorder usage;
    QStringList opened;
    ComponentModel::UrlLauncher previousLauncher;
    std::unique_ptr<MainViewModel> main; // made on an empty store
};

Feedback::Ad ad(const QString& id, const QString& url, const QString& text, bool withBanner)
{
    Feedback::Ad result;
    result.valid = true;
    result.id = id;
    result.url = url;
    result.text = text;
    if (withBanner) {
        QPixmap banner(40, 10);
        banner.fill(Qt::red);
        result.pixmap = banner;
    }
    return result;
}

} // namespace

TEST_F(MainViewModelTest, HandsTheViewTheSameChildrenAndTwoPictureStoresAndAppliesTheStoredChoices)
{
    qmltest::SignalLog emitted;
    emitted.record(main.get(), &MainViewModel::fakeSignal, "fakeSignal");
    const char* const children[] = {"storyboardViewModel", "musicViewModel", "settingsViewModel", "convertViewModel",
                                    "playerViewModel"};
    QSet<QObject*> distinct;
    for (const char* name : children) {
        QObject* child = main->property(name).value<QObject*>();
        ASSERT_NE(nullptr, child) << name;
        EXPECT_EQ(child, main->property(name).value<QObject*>()) << name;
        EXPECT_EQ(nullptr, child->parent()) << name;
        distinct << child;
    }
    EXPECT_EQ(5, distinct.size());
    EXPECT_NE(nullptr, qobject_cast<ViewModel::ConvertViewModel*>(main->convertViewModel()));
    EXPECT_NE(nullptr, qobject_cast<ViewModel::PlayerViewModel*>(main->playerViewModel()));
    for (const char* name : {"banners", "photos"})
        EXPECT_NE(nullptr, main->property(name).value<QQuickImageProvider*>()) << name;
    EXPECT_NE(main->banners(), main->photos());
    EXPECT_TRUE(emitted.entries().isEmpty());

    // The settings view model stored the user's choices back on its way up.
    EXPECT_TRUE(QSettings().contains("Settings/slideDuration"));
    EXPECT_TRUE(usage.events.contains("Lumivista|Apply Settings||"));
}

TEST_F(MainViewModelTest, HelpPagesOpenTheStoredAddressesEachCounted)
{
    QSettings store;
    store.setValue("webHelp", "http://127.0.0.1:1/howto");
    store.setValue("web", "http://127.0.0.1:1/");
    store.setValue("webFacebook", "http://127.0.0.1:1/face");
    // webTwitter is missing: nothing opens, the event goes all the same.
    main->showHelp();
    main->showSite();
    main->showFacebook();
    main->showTwitter();
    EXPECT_EQ(QStringList({"http://127.0.0.1:1/howto", "http://127.0.0.1:1/", "http://127.0.0.1:1/face"}), opened);
    EXPECT_EQ(QStringList({"Lumivista|Show Help||", "Lumivista|Show Site||", "Lumivista|Show Facebook||",
                           "Lumivista|Show Twitter||"}),
              usage.events.filter("|Show "));

    // A desktop with no program for web pages: the window says so, naming
    // the page; a page not set is not told.
    QStringList messages;
    QObject::connect(main.get(), &MainViewModel::messageReceived, [&](QString text) { messages << text; });
    ComponentModel::setUrlLauncher([](const QUrl&, ComponentModel::LaunchMode) { return false; });
    main->showHelp();
    main->showTwitter();
    EXPECT_EQ(messages, QStringList{"The desktop has no program to open the page \"http://127.0.0.1:1/howto\"."});
}

TEST_F(MainViewModelTest, AdvertisementsAreAnnouncedKeptAndOpenedOnlyAsWebPages)
{
    usage.events.clear();
    main->showAdvertisement(); // none yet
    qmltest::SignalLog announced;
    announced.record(main.get(), &MainViewModel::advertisementReceived, "ad");
    Feedback::Ad invalid = ad("0", "http://127.0.0.1:1/zero", "zero", true);
    invalid.valid = false;
    deliver(invalid);
    EXPECT_TRUE(announced.entries().isEmpty());
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(usage.events.isEmpty());

    auto* banners = static_cast<ComponentModel::ImageProvider*>(main->banners());
    // The feed's text never brings markup of its own: no picture to fetch,
    // no link to open but the advertisement's web page.
    deliver(ad("1", "http://127.0.0.1:1/a b>", "<b>One</b><img src=\"http://127.0.0.1:1/p.png\">", true));
    deliver(ad("2", "http://127.0.0.1:1/two?x=%2", "Two %1", false));
    EXPECT_EQ(QStringList({"ad(http://127.0.0.1:1/a b>,<a href=\"http://127.0.0.1:1/a b&gt;\">&lt;b&gt;One&lt;/b&gt;"
                           "&lt;img src=&quot;http://127.0.0.1:1/p.png&quot;&gt;</a>,banner)",
                           "ad(http://127.0.0.1:1/two?x=%2,<a href=\"http://127.0.0.1:1/two?x=%2\">Two %1</a>,)"}),
              announced.entries());
    // The text-only advertisement left a null picture under "banner".
    EXPECT_TRUE(banners->requestPixmap("banner", nullptr, QSize()).isNull());

    main->showAdvertisement(); // the second replaced the first
    deliver(ad("3", "file:///usr/bin/xterm", "local", false));
    EXPECT_EQ("ad(file:///usr/bin/xterm,local,)", announced.entries().last());
    main->showAdvertisement(); // announced and counted, never opened
    EXPECT_EQ(QStringList({QUrl("http://127.0.0.1:1/two?x=%2").toString()}), opened);
    EXPECT_EQ(QStringList({"Advertisement|Show|1|", "Advertisement|Show|2|", "Advertisement|Click|2|",
                           "Advertisement|Show|3|", "Advertisement|Click|3|"}),
              usage.events);
}

TEST_F(MainViewModelTest, AFailedConversionAlertsAndARunningOneIsStoppedWhenTheViewModelGoes)
{
    QTemporaryDir folder;
    const std::string photo = folder.filePath("photo.jpg").toStdString();
    viewmodeltest::writePhoto(photo);
    auto& storyboard = *static_cast<ViewModel::StoryboardViewModel*>(main->storyboardViewModel());
    storyboard.addSlide(viewmodeltest::qtPath(photo));
    ASSERT_TRUE(viewmodeltest::settled(storyboard));
    settings().setFormat(ViewModel::SettingsViewModel::YouTubeFormat);
    settings().setQuality(ViewModel::SettingsViewModel::LowQuality);
    auto* convert = static_cast<ViewModel::ConvertViewModel*>(main->convertViewModel());

    // A folder that is a file: the output file cannot be made.
    settings().setOutputFolder(folder.filePath("photo.jpg"));
    {
        viewmodeltest::LogCapture log;
        int failures = 0;
        QObject::connect(convert, &ViewModel::ConvertViewModel::conversionFailed, [&] { ++failures; });
        convert->startAction()->trigger();
        ASSERT_TRUE(qmltest::waitFor([&] { return failures == 1; }, 20000));
        EXPECT_EQ(1, log.count("[MainViewModel] asking for attention"));
    }

    settings().setOutputFolder(folder.path());
    convert->startAction()->trigger();
    ASSERT_TRUE(qmltest::waitFor([&] { return convert->progress() > 0; }, 20000));
    // Going stops the producer and waits for its thread before the show
    // goes; a stopped conversion alerts nobody.
    viewmodeltest::LogCapture log;
    main.reset();
    EXPECT_EQ(0, log.count("[MainViewModel] asking for attention"));
}
