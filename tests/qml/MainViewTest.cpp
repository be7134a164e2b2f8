// The main window over stand-in view models, shown by the real dialog host:
// which commands the state of the storyboard, music and conversion allows,
// what a drop of files does, the "Make Slideshow" flow through the settings
// question, the conversion overlay and the result messages, and the
// question before closing during a conversion.

#include "ViewTesting.h"

#include "componentmodel/DesktopLauncher.h"
#include "mvvm/Dialog.h"

#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QUrlQuery>

#include <memory>

using namespace viewtest;

namespace {

const QString mainView = QStringLiteral("qrc:/qml/mainview.qml");

// Answers the next message box with the button of that text, keeping its
// text and its buttons' texts.
struct MessageAnswer {
    QString text;
    QStringList buttons;
};

void answerMessageBox(const QString& button, MessageAnswer* seen)
{
    whenModalShows([button, seen](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_TRUE(box);
        seen->text = box->text();
        for (QAbstractButton* b : box->buttons())
            seen->buttons << b->text();
        for (QAbstractButton* b : box->buttons())
            if (b->text() == button)
                b->click();
    });
}

class MainView : public ::testing::Test {
protected:
    void SetUp() override
    {
        qmltest::useSoftwareQuick();
        standin::registerStandIns();
        model = std::make_unique<standin::MainViewModel>();
        host = std::make_unique<Mvvm::Dialog>();
        const QWidgetList before = QApplication::topLevelWidgets();
        host->showDialog(mainView, model.get(), Mvvm::Dialog::MainWindow);
        window = newWindow<QMainWindow>(before);
        ASSERT_TRUE(window);
        ASSERT_TRUE(rootOf(window)) << "the main view did not load";
    }
    void TearDown() override
    {
        if (window) {
            model->convert.finish(1);
            window->close();
            flushDeletes();
        }
    }

    bool enabled(const char* text) const
    {
        QAction* action = actionNamed(window, QString::fromUtf8(text));
        EXPECT_TRUE(action) << text;
        return action && action->isEnabled();
    }
    QVariant rootProperty(const char* name) const { return rootOf(window)->property(name); }
    QString status() const { return itemNamed(window, "statusText")->property("text").toString(); }
    void addPhotos(int count)
    {
        for (int i = 0; i < count; ++i)
            model->storyboard.addSlide(makePhoto(photos, "photo" + std::to_string(i) + ".jpg"));
    }

    kestrel::test::TempDir photos;
    std::unique_ptr<standin::MainViewModel> model;
    std::unique_ptr<Mvvm::Dialog> host;
    QPointer<QMainWindow> window;
};

TEST_F(MainView, WithoutSlidesPreviewMakeAndRemovePhotosAreDisabledAndTheAddBannerShows)
{
    for (const char* command : {"Show Preview", "Make Slideshow", "Show Preview...", "Make Slideshow...",
                                "Remove Photos", "Remove Photo", "Remove Music"})
        EXPECT_FALSE(enabled(command)) << command;
    for (const char* command : {"Add Photos", "Change Music", "Settings", "New Slideshow...", "Add Photos...",
                                "Add Music...", "Settings...", "Help", "Facebok"})
        EXPECT_TRUE(enabled(command)) << command;
    EXPECT_TRUE(itemNamed(window, "addBanner")->isVisible());
    EXPECT_EQ(status(), QString());
    keepScreenshot(window, QStringLiteral("mainview-empty"));

    addPhotos(3);
    model->music.setFilePath(QStringLiteral("/music/song.mp3"));
    for (const char* command : {"Show Preview", "Make Slideshow", "Remove Photos", "Remove Photo", "Remove Music"})
        EXPECT_TRUE(enabled(command)) << command;
    EXPECT_FALSE(itemNamed(window, "addBanner")->isVisible());
    EXPECT_EQ(status(), QStringLiteral("3 photos, song.mp3"));
    // Each thumbnail comes from the photos provider, fitted into 180 x 180.
    const QList<QQuickItem*> thumbnails = itemsNamed(itemNamed(window, "slideGrid"), "thumbnail");
    ASSERT_EQ(thumbnails.size(), 3);
    for (QQuickItem* thumbnail : thumbnails) {
        EXPECT_EQ(thumbnail->property("status").toInt(), 1) << "not ready";
        EXPECT_EQ(thumbnail->property("paintedWidth").toInt(), 180);
        EXPECT_EQ(thumbnail->property("paintedHeight").toInt(), 135);
    }
    keepScreenshot(window, QStringLiteral("mainview"));
}

// Preview needs slides, nothing loading and no conversion; making also needs
// the convert view model's start command.
struct CommandCase {
    const char* name;
    bool slides, storyboardLoading, musicLoading, converting;
    bool preview, make;
    const char* status;
};

class MainViewCommands : public MainView, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(MainViewCommands, FollowTheStoryboardTheMusicAndTheConversion)
{
    const CommandCase& c = GetParam();
    if (c.slides)
        addPhotos(2);
    model->storyboard.setLoading(c.storyboardLoading);
    model->music.setLoading(c.musicLoading);
    if (c.converting)
        model->convert.startAction()->trigger();
    EXPECT_EQ(enabled("Show Preview"), c.preview);
    EXPECT_EQ(enabled("Show Preview..."), c.preview);
    EXPECT_EQ(enabled("Make Slideshow"), c.make);
    EXPECT_EQ(enabled("Make Slideshow..."), c.make);
    EXPECT_EQ(enabled("Add Photos"), !c.converting);
    EXPECT_EQ(enabled("Remove Photos"), c.slides && !c.converting);
    EXPECT_EQ(rootProperty("isLocked").toBool(), c.converting);
    EXPECT_EQ(itemNamed(window, "statusText")->isVisible(), !c.converting);
    EXPECT_EQ(status(), QString::fromUtf8(c.status));
}

INSTANTIATE_TEST_SUITE_P(
    States, MainViewCommands,
    ::testing::Values(CommandCase{"idle", true, false, false, false, true, true, "2 photos"},
                      CommandCase{"photosLoading", true, true, false, false, false, false, "Loading photos..."},
                      CommandCase{"bothLoading", true, true, true, false, false, false, "Loading photos..."},
                      CommandCase{"musicLoading", true, false, true, false, false, false, "Loading music..."},
                      CommandCase{"converting", true, false, false, true, false, false, "2 photos"},
                      CommandCase{"empty", false, false, false, false, false, false, ""}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.name; });

TEST_F(MainView, TheMouseAndTheKeysChooseAndMoveSlides)
{
    addPhotos(4);
    settle(300);
    const auto photoAreas = [&] { return itemsNamed(itemNamed(window, "slideGrid"), "photoArea"); };
    ASSERT_EQ(photoAreas().size(), 4);
    const auto areaOf = [&](int index) {
        for (QQuickItem* area : photoAreas())
            if (area->parentItem()->property("slide").value<QObject*>() == model->storyboard.slideAt(index))
                return area;
        return static_cast<QQuickItem*>(nullptr);
    };

    // A click makes a slide current; the arrow keys move from it.
    const QPointF second = centreOf(areaOf(1));
    mouseEvent(window, QEvent::MouseButtonPress, second, Qt::LeftButton, Qt::LeftButton);
    mouseEvent(window, QEvent::MouseButtonRelease, second, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(model->storyboard.index(), 1);
    pressKey(window, Qt::Key_Right);
    EXPECT_EQ(model->storyboard.index(), 2);
    pressKey(window, Qt::Key_Left);
    pressKey(window, Qt::Key_Left);
    EXPECT_EQ(model->storyboard.index(), 0);

    // Dragging the first slide onto the third moves it there.
    model->storyboard.calls.clear();
    dragMouse(window, centreOf(areaOf(0)), centreOf(areaOf(2)));
    EXPECT_EQ(model->storyboard.calls, QStringList{"moveSlide(0,2)"});
    EXPECT_EQ(model->storyboard.index(), 2);
    // A press that does not travel more than 4 pixels moves nothing.
    model->storyboard.calls.clear();
    dragMouse(window, centreOf(areaOf(3)), centreOf(areaOf(3)) + QPointF(4, 4));
    EXPECT_TRUE(model->storyboard.calls.isEmpty());
    EXPECT_EQ(model->storyboard.index(), 3);

    // The context menu offers what fits where it was opened.
    const auto shownEntries = [&](int slide) {
        QObject* root = rootOf(window);
        QMetaObject::invokeMethod(root, "openContextMenu", Q_ARG(QVariant, slide),
                                  Q_ARG(QVariant, QVariant::fromValue<QObject*>(itemNamed(window, "slideGrid"))),
                                  Q_ARG(QVariant, 5), Q_ARG(QVariant, 5));
        QObject* menu = root->findChild<QObject*>(QStringLiteral("storyboardMenu"));
        QMetaObject::invokeMethod(menu, "hidePopup");
        QStringList shown;
        for (QObject* entry : menu->children())
            if (entry->property("visible").toBool() && !entry->property("text").toString().isEmpty())
                shown << entry->property("text").toString();
        return shown;
    };
    EXPECT_EQ(shownEntries(1), QStringList({"Rotate Clockwise", "Rotate Counterclockwise", "Remove",
                                            "Insert Photos..."}));
    EXPECT_EQ(model->storyboard.index(), 1);
    EXPECT_EQ(shownEntries(-1), QStringList({"Add Photos...", "Remove All"}));

    // More rows than fit: the page keys scroll by a page, End to the bottom.
    for (int i = 0; i < 8; ++i)
        model->storyboard.addSlide(makePhoto(photos, "more" + std::to_string(i) + ".jpg", i % 3 ? 640 : 360,
                                             i % 3 ? 480 : 480));
    settle(300);
    QObject* scrollBar = itemNamed(window, "storyboard")->property("verticalScrollBar").value<QObject*>();
    ASSERT_TRUE(scrollBar);
    ASSERT_GT(scrollBar->property("maximumValue").toDouble(), 0);
    pressKey(window, Qt::Key_PageDown);
    EXPECT_DOUBLE_EQ(scrollBar->property("value").toDouble(),
                     qMin(scrollBar->property("pageStep").toDouble(), scrollBar->property("maximumValue").toDouble()));
    pressKey(window, Qt::Key_End);
    EXPECT_DOUBLE_EQ(scrollBar->property("value").toDouble(), scrollBar->property("maximumValue").toDouble());
    pressKey(window, Qt::Key_Home);
    EXPECT_DOUBLE_EQ(scrollBar->property("value").toDouble(), 0);
    keepScreenshot(window, QStringLiteral("mainview-many"));
}

TEST_F(MainView, DroppedFilesBecomePhotosUnlessTheyEndInALowerCaseMusicExtension)
{
    const QString first = makePhoto(photos, "första.jpg");
    const QString second = makePhoto(photos, "second.JPG", 480, 640);
    const QString song = QString::fromStdString(photos.file("song.mp3"));
    const QString loudSong = QString::fromStdString(photos.file("song.MP3"));
    for (const QString& path : {song, loudSong})
        kestrel::test::write_file(path.toStdString(), "ID3");

    ASSERT_TRUE(dropFiles(window, {first, song, second, loudSong}, QPoint(300, 200)));

    EXPECT_EQ(model->storyboard.calls,
              QStringList({"addSlide(" + first + ")", "addSlide(" + second + ")", "addSlide(" + loudSong + ")"}));
    EXPECT_EQ(model->music.filePath(), song);
    EXPECT_EQ(model->storyboard.count(), 2);
    EXPECT_TRUE(qmltest::waitFor([&] { return status() == QStringLiteral("2 photos, song.mp3"); }));

    // While a conversion runs, drops are refused.
    model->convert.startAction()->trigger();
    model->storyboard.calls.clear();
    dropFiles(window, {first}, QPoint(300, 200));
    EXPECT_TRUE(model->storyboard.calls.isEmpty());
}

TEST_F(MainView, MakeSlideshowAsksTheSettingsFirstAndStartsOnlyOnContinue)
{
    addPhotos(4);
    QString modeSeen;
    QStringList buttons;
    const auto answerSettings = [&](const char* button) {
        whenModalShows([&, button](QWidget* modal) {
            QObject* root = rootOf(modal);
            ASSERT_TRUE(root);
            modeSeen = QString::number(model->settings.mode);
            QObject* chosen = root->findChild<QObject*>(QLatin1String(button));
            ASSERT_TRUE(chosen);
            QMetaObject::invokeMethod(chosen, "clicked");
        });
    };

    answerSettings("cancelButton");
    actionNamed(window, QStringLiteral("Make Slideshow"))->trigger();
    EXPECT_EQ(modeSeen, QString::number(standin::SettingsViewModel::ConvertMode));
    EXPECT_TRUE(model->convert.calls.isEmpty());

    answerSettings("continueButton");
    actionNamed(window, QStringLiteral("Make Slideshow..."))->trigger();
    EXPECT_EQ(model->convert.calls, QStringList{"start()"});
    model->convert.finish(1);

    // Without the question it starts at once.
    model->settings.needClarify = false;
    model->convert.calls.clear();
    actionNamed(window, QStringLiteral("Make Slideshow"))->trigger();
    EXPECT_EQ(model->convert.calls, QStringList{"start()"});
}

TEST_F(MainView, ConversionRunsThroughTheOverlayToTheGoodNews)
{
    addPhotos(10);
    model->settings.needClarify = false;
    QQuickItem* overlay = itemNamed(window, "convertOverlay");
    QQuickItem* stateText = itemNamed(window, "convertStateText");
    ASSERT_TRUE(overlay && stateText);
    EXPECT_FALSE(overlay->isVisible());

    actionNamed(window, QStringLiteral("Make Slideshow"))->trigger();
    model->convert.report(37, 75000);
    EXPECT_TRUE(qmltest::waitFor([&] { return overlay->opacity() == 1.0; }));
    EXPECT_EQ(stateText->property("text").toString(), QStringLiteral("3 of 10 photos processed, 1 min left."));
    EXPECT_EQ(itemNamed(window, "convertProgress")->property("value").toInt(), 37);
    EXPECT_FALSE(enabled("Add Photos"));
    EXPECT_FALSE(enabled("New Slideshow..."));
    keepScreenshot(window, QStringLiteral("mainview-converting"));

    QQuickItem* pauseButton = itemNamed(window, "pauseButton");
    EXPECT_TRUE(pauseButton->isEnabled());
    EXPECT_TRUE(itemNamed(window, "cancelButton")->isEnabled());
    QMetaObject::invokeMethod(pauseButton, "clicked");
    EXPECT_EQ(stateText->property("text").toString(), QStringLiteral("Paused"));
    EXPECT_EQ(pauseButton->property("text").toString(), QStringLiteral("Resume"));
    EXPECT_EQ(pauseButton->property("tooltip").toString(), QStringLiteral("Resume making process"));
    QMetaObject::invokeMethod(pauseButton, "clicked");
    EXPECT_EQ(pauseButton->property("text").toString(), QStringLiteral("Pause"));

    MessageAnswer seen;
    answerMessageBox(QStringLiteral("Show In Folder"), &seen);
    model->convert.report(100, 0);
    model->convert.finish(0);
    EXPECT_EQ(seen.text, QStringLiteral("Good news! Slideshow successfully created."));
    EXPECT_EQ(seen.buttons, QStringList({"Show In Folder", "Play", "Close"}));
    EXPECT_EQ(model->convert.calls, QStringList({"start()", "pause()", "pause()", "showResult()"}));
    EXPECT_TRUE(qmltest::waitFor([&] { return !overlay->isVisible(); }));
    EXPECT_TRUE(enabled("Add Photos"));
}

TEST_F(MainView, FailedConversionShowsTheCodeAndReportsTheProblemUntranslated)
{
    QList<QUrl> launched;
    const auto previous = ComponentModel::setUrlLauncher([&](const QUrl& url, ComponentModel::LaunchMode) {
        launched << url;
        return true;
    });
    addPhotos(1);
    model->convert.startAction()->trigger();
    MessageAnswer seen;
    answerMessageBox(QStringLiteral("Report Problem"), &seen);
    model->convert.finish(4);
    ComponentModel::setUrlLauncher(previous);

    EXPECT_EQ(seen.text, QStringLiteral("Sorry. Slideshow creation failed.\n\nVideo encoder failed.\nError code: 4"));
    EXPECT_EQ(seen.buttons, QStringList({"Report Problem", "Close"}));
    ASSERT_EQ(launched.size(), 1);
    const QUrlQuery mail(launched.first());
    EXPECT_EQ(mail.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
              QStringLiteral("[Problem] Slideshow creation failed"));
    EXPECT_TRUE(mail.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded)
                    .startsWith(QStringLiteral("Video encoder failed.\nError code: 4")));
}

TEST_F(MainView, ClosingDuringAConversionAsksAndCancelKeepsTheWindow)
{
    addPhotos(1);
    model->convert.startAction()->trigger();
    MessageAnswer seen;
    answerMessageBox(QStringLiteral("Cancel"), &seen);
    window->close();
    EXPECT_EQ(seen.text, QStringLiteral("Slideshow saving process not finished yet. Are you sure want to quit?"));
    EXPECT_EQ(seen.buttons, QStringList({"Quit", "Cancel"}));
    EXPECT_TRUE(window->isVisible());

    answerMessageBox(QStringLiteral("Quit"), &seen);
    window->close();
    flushDeletes();
    EXPECT_TRUE(window.isNull());
}

TEST_F(MainView, NewSlideshowAsksOnlyWhenThereIsSomethingToLose)
{
    actionNamed(window, QStringLiteral("New Slideshow..."))->trigger();
    EXPECT_TRUE(model->storyboard.calls.isEmpty());

    addPhotos(2);
    model->music.setFilePath(QStringLiteral("/music/song.mp3"));
    model->storyboard.calls.clear();
    MessageAnswer seen;
    answerMessageBox(QStringLiteral("Cancel"), &seen);
    actionNamed(window, QStringLiteral("New Slideshow..."))->trigger();
    EXPECT_EQ(seen.text, QStringLiteral("Are you sure want to create new slideshow? Current progress will be lost."));
    EXPECT_EQ(model->storyboard.count(), 2);

    answerMessageBox(QStringLiteral("Create"), &seen);
    actionNamed(window, QStringLiteral("New Slideshow..."))->trigger();
    EXPECT_EQ(model->storyboard.calls, QStringList{"clear()"});
    EXPECT_EQ(model->music.filePath(), QString());
    EXPECT_TRUE(qmltest::waitFor([&] { return itemNamed(window, "addBanner")->isVisible(); }));
}

TEST_F(MainView, MessagesUpdatesAndAdvertisementsReachTheUser)
{
    MessageAnswer seen;
    answerMessageBox(QStringLiteral("Open Site"), &seen);
    standin::UpdateAnswer answer;
    emit model->updateReceived(QStringLiteral("Version 2 is out."), &answer);
    EXPECT_EQ(seen.text, QStringLiteral("Version 2 is out."));
    EXPECT_EQ(seen.buttons, QStringList({"Open Site", "Close"}));
    EXPECT_TRUE(answer.needUpdate);

    QQuickItem* strip = itemNamed(window, "advertisement");
    EXPECT_FALSE(strip->isVisible());
    emit model->advertisementReceived(QStringLiteral("http://127.0.0.1/offer"),
                                      QStringLiteral("<a href=http://127.0.0.1/offer>Try the editor</a>"),
                                      QString());
    EXPECT_TRUE(strip->isVisible());
    EXPECT_TRUE(itemNamed(window, "advertisementText")->isVisible());
    EXPECT_FALSE(itemNamed(window, "advertisementBanner")->isVisible());
    keepScreenshot(window, QStringLiteral("mainview-advertisement"));
    QMetaObject::invokeMethod(itemNamed(window, "advertisementClose"), "clicked");
    EXPECT_FALSE(strip->isVisible());

    actionNamed(window, QStringLiteral("Facebok"))->trigger();
    actionNamed(window, QStringLiteral("Help"))->trigger();
    EXPECT_EQ(model->calls, QStringList({"showFacebook()", "showHelp()"}));
}

} // namespace
