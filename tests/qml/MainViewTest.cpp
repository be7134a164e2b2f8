// The main window over the program's own view models, shown by the real
// dialog host: the user's flow from an empty window through dropped files,
// the settings dialog and a real conversion to the preview; which commands
// the storyboard, the music and a conversion allow; choosing and moving
// slides; a failed conversion; the questions before closing and before a
// new slideshow; messages and advertisements.

#include "ViewTesting.h"

#include "componentmodel/DesktopLauncher.h"
#include "multimedia/VideoSurface.h"

#include "support/HangingShare.h"
#include "support/LeaseHolder.h"
#include "viewmodel/StoryboardFile.h"

#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrlQuery>

#include <sys/stat.h>

#include <memory>
#include <optional>

using namespace viewtest;
using Multimedia::Player;
using ViewModel::ConvertViewModel;
using ViewModel::SettingsViewModel;

namespace {

const QString mainView = QStringLiteral("qrc:/qml/mainview.qml");

// Answers the next message box with the button of that text, keeping its
// text and its buttons' texts.
struct MessageAnswer {
    QString text;
    QStringList buttons;
    Qt::TextFormat format = Qt::AutoText;
    QString escapeButton; // the one Escape and the window's close press
};

void answerMessageBox(const QString& button, MessageAnswer* seen)
{
    whenModalShows([button, seen](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_TRUE(box);
        seen->text = box->text();
        seen->format = box->textFormat();
        seen->escapeButton = box->escapeButton() ? box->escapeButton()->text() : QString();
        seen->buttons.clear();
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
        host = std::make_unique<Mvvm::Dialog>();
        const QWidgetList before = QApplication::topLevelWidgets();
        host->showDialog(mainView, program.main.get(), Mvvm::Dialog::MainWindow);
        window = newWindow<QMainWindow>(before);
        ASSERT_TRUE(window);
        ASSERT_TRUE(rootOf(window)) << "the main view did not load";
    }
    void TearDown() override
    {
        program.convert().stop();
        if (window) {
            window->close();
            flushDeletes();
        }
        // Up to the view's end, nothing it reads may be missing.
        EXPECT_EQ(qmlWarnings.lines(), QStringList());
    }

    bool enabled(const char* text) const
    {
        QAction* action = actionNamed(window, QString::fromUtf8(text));
        EXPECT_TRUE(action) << text;
        return action && action->isEnabled();
    }
    void trigger(const char* text) const
    {
        QAction* action = actionNamed(window, QString::fromUtf8(text));
        ASSERT_TRUE(action) << text;
        action->trigger();
    }
    QString status() const { return textOf(window, "statusText"); }
    QStringList photos(int count, const char* prefix = "photo")
    {
        QStringList paths;
        for (int i = 0; i < count; ++i)
            paths << makePhoto(files, prefix + std::to_string(i) + ".jpg");
        return paths;
    }
    QStringList slidePaths() const
    {
        QStringList paths;
        for (int i = 0; i < program.slideCount(); ++i)
            paths << program.slidePath(i);
        return paths;
    }
    // A conversion of one photo, paused at once so that it stays running.
    void startPausedConversion()
    {
        program.chooseTinyShow(QString::fromStdString(output.path()));
        program.addPhotos(photos(1, "converted"));
        trigger("Make Slideshow");
        ASSERT_EQ(program.convert().state(), ConvertViewModel::ConvertState);
        program.convert().pause();
    }

    QmlWarnings qmlWarnings;
    kestrel::test::TempDir files;
    kestrel::test::TempDir output;
    ProgramUnderTest program;
    std::unique_ptr<Mvvm::Dialog> host;
    QPointer<QMainWindow> window;
};

TEST_F(MainView, TheUsersFlowFromAnEmptyWindowToAPlayedSlideshow)
{
    // An empty slideshow can be neither previewed nor made.
    for (const char* command : {"Show Preview", "Make Slideshow", "Show Preview...", "Make Slideshow...",
                                "Remove Photos", "Remove Photo", "Remove Music"})
        EXPECT_FALSE(enabled(command)) << command;
    for (const char* command : {"Add Photos", "Change Music", "Settings", "New Slideshow...", "Add Photos...",
                                "Add Music...", "Settings...", "Help", "Facebok"})
        EXPECT_TRUE(enabled(command)) << command;
    EXPECT_TRUE(itemNamed(window, "addBanner")->isVisible());
    EXPECT_EQ(status(), QString());
    keepScreenshot(window, QStringLiteral("mainview-empty"));

    // Dropped files: photos and a lower-case music name; "song.MP3" is taken
    // for a photo, which does not open and leaves the storyboard again, with
    // one message that says so.
    const QStringList shots = photos(3);
    const QString song = makeSong(files, "song.mp3");
    const QString loudSong = makeSong(files, "song.MP3");
    QStringList added;
    QObject::connect(program.storyboard().slideList().data(), &ComponentModel::NotifyList::listChanged, window,
                     [&](const ComponentModel::ListChangedSignalArgs& change) {
                         if (change.action() == ComponentModel::ListChangedSignalArgs::Add)
                             for (const auto& slide : change.newItems())
                                 added << static_cast<ViewModel::SlideViewModel*>(slide.data())->filePath();
                     });
    MessageAnswer leftOut;
    answerMessageBox(QStringLiteral("Close"), &leftOut);
    ASSERT_TRUE(dropFiles(window, {shots[0], song, shots[1], loudSong, shots[2]}, QPoint(300, 200)));
    EXPECT_EQ(added, QStringList({shots[0], shots[1], loudSong, shots[2]}));
    EXPECT_TRUE(qmltest::waitFor([&] { return status() == QStringLiteral("3 photos, song.mp3"); }, 10000))
        << status().toStdString();
    EXPECT_EQ(slidePaths(), QStringList({shots[0], shots[1], shots[2]}));
    EXPECT_TRUE(qmltest::waitFor([&] { return !leftOut.text.isEmpty(); }, 10000)) << "no word of the left-out file";
    EXPECT_EQ(leftOut.text, "This file was left out:\n\n" + loudSong + ": not a JPEG file");
    EXPECT_EQ(program.music().filePath(), song);
    for (const char* command : {"Show Preview", "Make Slideshow", "Remove Photos", "Remove Photo", "Remove Music"})
        EXPECT_TRUE(enabled(command)) << command;
    EXPECT_FALSE(itemNamed(window, "addBanner")->isVisible());
    // Each thumbnail comes from the photos provider, fitted into 180 x 180.
    const QList<QQuickItem*> thumbnails = itemsNamed(itemNamed(window, "slideGrid"), "thumbnail");
    ASSERT_EQ(thumbnails.size(), 3);
    for (QQuickItem* thumbnail : thumbnails) {
        EXPECT_TRUE(qmltest::waitFor([&] { return thumbnail->property("status").toInt() == 1; }))
            << "a thumbnail never loaded";
        EXPECT_EQ(thumbnail->property("paintedWidth").toInt(), 180);
        EXPECT_EQ(thumbnail->property("paintedHeight").toInt(), 135);
    }
    keepScreenshot(window, QStringLiteral("mainview"));

    // The settings: a device format fixes aspect and quality; the user's
    // short durations and output folder are typed in.
    program.settings().setAspect(16.0 / 9.0);
    const QString outputFolder = QString::fromStdString(output.path());
    whenModalShows([&](QWidget* dialog) {
        EXPECT_TRUE(itemNamed(dialog, "photoDurationField")->isVisible());
        choose(dialog, "formatBox", QStringLiteral("  iPad and iPad Mini"));
        EXPECT_EQ(program.settings().format(), SettingsViewModel::IPadFormat);
        EXPECT_FALSE(itemNamed(dialog, "aspectBox")->isEnabled());
        EXPECT_FALSE(itemNamed(dialog, "qualityBox")->isEnabled());
        EXPECT_EQ(itemNamed(dialog, "aspectBox")->property("selectedText").toString(), QStringLiteral("  4 : 3"));
        EXPECT_EQ(itemNamed(dialog, "qualityBox")->property("selectedText").toString(), QStringLiteral("  High"));
        EXPECT_EQ(textOf(dialog, "qualityHint"), QStringLiteral("Video: 1024x768, H264. Audio: AAC."));
        itemNamed(dialog, "photoDurationField")->setProperty("text", QStringLiteral("0.5"));
        itemNamed(dialog, "transitionField")->setProperty("text", QStringLiteral("0.2"));
        itemNamed(dialog, "outputFolderField")->setProperty("text", outputFolder);
        itemNamed(dialog, "slideshowNameField")->setProperty("text", QStringLiteral("Trip"));
        keepScreenshot(dialog, QStringLiteral("settingsview-ipad"));
        // The smallest profile keeps the conversion below short.
        choose(dialog, "formatBox", QStringLiteral("  iPhone 3GS"));
        EXPECT_FALSE(itemNamed(dialog, "aspectBox")->isEnabled());
        QMetaObject::invokeMethod(itemNamed(dialog, "closeButton"), "clicked");
    });
    trigger("Settings");
    EXPECT_EQ(program.settings().slideDuration(), 0.5);
    EXPECT_EQ(program.settings().transitionDuration(), 0.2);
    EXPECT_EQ(program.settings().outputFolder(), outputFolder);

    // Make Slideshow asks the settings once more, then runs through the
    // overlay to the good news.
    QQuickItem* overlay = itemNamed(window, "convertOverlay");
    ASSERT_TRUE(overlay);
    EXPECT_FALSE(overlay->isVisible());
    whenModalShows([&](QWidget* dialog) {
        EXPECT_EQ(program.settings().mode(), SettingsViewModel::ConvertMode);
        EXPECT_FALSE(itemNamed(dialog, "photoDurationField")->isVisible());
        EXPECT_TRUE(itemNamed(dialog, "continueButton")->property("focus").toBool());
        keepScreenshot(dialog, QStringLiteral("settingsview-convert"));
        QMetaObject::invokeMethod(itemNamed(dialog, "continueButton"), "clicked");
    });
    trigger("Make Slideshow");
    ASSERT_EQ(program.convert().state(), ConvertViewModel::ConvertState);
    const QString running = textOf(window, "convertStateText");
    const QRegularExpression counted(QStringLiteral("^[0-3] of 3 photos processed, .+ left\\.$"));
    EXPECT_TRUE(counted.match(running).hasMatch()) << running.toStdString();
    QQuickItem* pauseButton = itemNamed(window, "pauseButton");
    QMetaObject::invokeMethod(pauseButton, "clicked");
    EXPECT_EQ(program.convert().state(), ConvertViewModel::PauseState);
    EXPECT_TRUE(qmltest::waitFor([&] { return overlay->opacity() == 1.0; })) << "the overlay never faded in";
    EXPECT_EQ(textOf(window, "convertStateText"), QStringLiteral("Paused"));
    EXPECT_EQ(pauseButton->property("text").toString(), QStringLiteral("Resume"));
    EXPECT_EQ(pauseButton->property("tooltip").toString(), QStringLiteral("Resume making process"));
    EXPECT_EQ(itemNamed(window, "convertProgress")->property("value").toInt(), program.convert().progress());
    for (const char* command : {"Add Photos", "New Slideshow...", "Make Slideshow", "Show Preview"})
        EXPECT_FALSE(enabled(command)) << command;
    keepScreenshot(window, QStringLiteral("mainview-converting"));

    MessageAnswer seen;
    answerMessageBox(QStringLiteral("Close"), &seen);
    QMetaObject::invokeMethod(pauseButton, "clicked");
    EXPECT_EQ(pauseButton->property("text").toString(), QStringLiteral("Pause"));
    EXPECT_TRUE(qmltest::waitFor([&] { return !seen.text.isEmpty(); }, 60000)) << "no result";
    EXPECT_EQ(seen.text, QStringLiteral("Good news! Slideshow successfully created."));
    EXPECT_EQ(seen.buttons, QStringList({"Show In Folder", "Play", "Close"}));
    EXPECT_EQ(seen.escapeButton, QStringLiteral("Close"));
    EXPECT_EQ(seen.format, Qt::AutoText); // the program's own texts keep their markup
    const QFileInfo made(program.convert().resultPath());
    EXPECT_EQ(made.absolutePath(), outputFolder);
    EXPECT_EQ(made.fileName(), QStringLiteral("Trip.m4v"));
    EXPECT_GT(made.size(), 1000);
    EXPECT_TRUE(qmltest::waitFor([&] { return !overlay->isVisible(); })) << "the overlay never went";
    EXPECT_TRUE(enabled("Add Photos"));

    // The preview plays and pauses with Space.
    whenModalShows([&](QWidget* dialog) {
        const Multimedia::VideoPlayer& player = program.player().videoPlayer();
        auto* surface = qobject_cast<Multimedia::VideoSurface*>(program.player().surface());
        ASSERT_TRUE(surface);
        EXPECT_EQ(player.state(), Player::PauseState);
        EXPECT_TRUE(qmltest::waitFor([&] { return bool(surface->frame()); }, 5000)) << "no picture";
        keepScreenshot(dialog, QStringLiteral("playerview"));
        EXPECT_TRUE(pressKey(dialog, Qt::Key_Space));
        EXPECT_EQ(player.state(), Player::PlayState);
        EXPECT_TRUE(pressKey(dialog, Qt::Key_Space));
        EXPECT_EQ(player.state(), Player::PauseState);
        dialog->close();
    });
    trigger("Show Preview");
    EXPECT_EQ(program.player().surface(), nullptr);
}

// Preview needs slides, nothing loading and no conversion; making also needs
// the conversion's start command. Nothing but the case's own step runs
// between the change and the checks, so the loading states hold.
struct CommandCase {
    const char* name;
    void (*enter)(MainView&, ProgramUnderTest&);
    bool preview, make, add, removePhotos;
    const char* status;
};
void PrintTo(const CommandCase& c, std::ostream* out) { *out << c.name; }


class MainViewCommands : public MainView, public ::testing::WithParamInterface<CommandCase> {
public:
    using MainView::photos;
    using MainView::startPausedConversion;
    kestrel::test::TempDir& folder() { return files; }
    // Another program holds a lease on the photo until the test ends: its
    // opening waits.
    void holdLease(const QString& path)
    {
        lease = std::make_unique<kestrel::test::lease_holder>(path.toStdString());
        ASSERT_EQ(lease->next(), 'l') << "no lease could be taken";
    }
    std::unique_ptr<kestrel::test::lease_holder> lease;
};

TEST_P(MainViewCommands, FollowTheStoryboardTheMusicAndTheConversion)
{
    const CommandCase& c = GetParam();
    c.enter(*this, program);
    EXPECT_EQ(enabled("Show Preview"), c.preview);
    EXPECT_EQ(enabled("Show Preview..."), c.preview);
    EXPECT_EQ(enabled("Make Slideshow"), c.make);
    EXPECT_EQ(enabled("Make Slideshow..."), c.make);
    EXPECT_EQ(enabled("Add Photos"), c.add);
    EXPECT_EQ(enabled("Settings"), c.add);
    EXPECT_EQ(enabled("Remove Photos"), c.removePhotos);
    EXPECT_EQ(rootOf(window)->property("isLocked").toBool(), !c.add);
    EXPECT_EQ(itemNamed(window, "statusText")->isVisible(), c.add);
    EXPECT_EQ(status(), QString::fromUtf8(c.status));
}

INSTANTIATE_TEST_SUITE_P(
    States, MainViewCommands,
    ::testing::Values(
        CommandCase{"empty", [](MainView&, ProgramUnderTest&) {}, false, false, true, false, ""},
        CommandCase{"idle",
                    [](MainView& test, ProgramUnderTest& program) {
                        program.addPhotos(static_cast<MainViewCommands&>(test).photos(2));
                    },
                    true, true, true, true, "2 photos"},
        CommandCase{"photosLoading",
                    [](MainView& test, ProgramUnderTest& program) {
                        for (const QString& path : static_cast<MainViewCommands&>(test).photos(2))
                            program.storyboard().addSlide(path);
                    },
                    false, false, true, true, "Loading photos..."},
        CommandCase{"musicLoading",
                    [](MainView& test, ProgramUnderTest& program) {
                        program.addPhotos(static_cast<MainViewCommands&>(test).photos(2));
                        program.music().setFilePath(makeSong(static_cast<MainViewCommands&>(test).folder(), "a.mp3"));
                    },
                    false, false, true, true, "Loading music..."},
        CommandCase{"photoWaiting",
                    [](MainView& test, ProgramUnderTest& program) {
                        auto& commands = static_cast<MainViewCommands&>(test);
                        const QStringList shots = commands.photos(2);
                        commands.holdLease(shots[0]);
                        program.addPhotos(shots);
                        // An opening given up before the window's thread looked
                        // waits as one that does not answer, until its next
                        // asking (5 s on) has waited long enough to name the
                        // lease again.
                        EXPECT_TRUE(qmltest::waitFor(
                            [&] { return program.storyboard().waitingText().contains("lease"); }, 20000));
                    },
                    true, true, true, true, "Waiting for \"photo0.jpg\": another program holds a lease on it."},
        CommandCase{"converting",
                    [](MainView& test, ProgramUnderTest&) {
                        static_cast<MainViewCommands&>(test).startPausedConversion();
                    },
                    false, false, false, false, "1 photo"}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.name; });

TEST_F(MainView, TheMouseAndTheKeysChooseAndMoveSlides)
{
    const QStringList shots = photos(4);
    program.addPhotos(shots);
    settle(300);
    const auto areaOf = [&](int index) {
        for (QQuickItem* area : itemsNamed(itemNamed(window, "slideGrid"), "photoArea"))
            if (area->parentItem()->property("slide").value<QObject*>() ==
                program.storyboard().slideList()->at(index).data())
                return area;
        return static_cast<QQuickItem*>(nullptr);
    };
    ASSERT_TRUE(areaOf(3));

    // A click makes a slide current; the arrow keys move from it.
    const QPointF second = centreOf(areaOf(1));
    mouseEvent(window, QEvent::MouseButtonPress, second, Qt::LeftButton, Qt::LeftButton);
    mouseEvent(window, QEvent::MouseButtonRelease, second, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(program.storyboard().index(), 1);
    pressKey(window, Qt::Key_Right);
    EXPECT_EQ(program.storyboard().index(), 2);
    pressKey(window, Qt::Key_Left);
    pressKey(window, Qt::Key_Left);
    EXPECT_EQ(program.storyboard().index(), 0);

    // Dragging the first slide onto the third moves it there.
    dragMouse(window, centreOf(areaOf(0)), centreOf(areaOf(2)));
    EXPECT_EQ(slidePaths(), QStringList({shots[1], shots[2], shots[0], shots[3]}));
    EXPECT_EQ(program.storyboard().index(), 2);
    // A press that does not travel more than 4 pixels moves nothing.
    dragMouse(window, centreOf(areaOf(3)), centreOf(areaOf(3)) + QPointF(4, 4));
    EXPECT_EQ(slidePaths(), QStringList({shots[1], shots[2], shots[0], shots[3]}));
    EXPECT_EQ(program.storyboard().index(), 3);

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
    EXPECT_EQ(program.storyboard().index(), 1);
    EXPECT_EQ(shownEntries(-1), QStringList({"Add Photos...", "Remove All"}));

    // More rows than fit: the page keys scroll by a page, End to the bottom.
    QStringList more;
    for (int i = 0; i < 8; ++i)
        more << makePhoto(files, "more" + std::to_string(i) + ".jpg", i % 3 ? 320 : 180, 240);
    program.addPhotos(more);
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

TEST_F(MainView, MakeSlideshowStartsOnlyOnContinueOrWithoutTheQuestion)
{
    program.chooseTinyShow(QString::fromStdString(output.path()));
    program.settings().setNeedClarify(true);
    program.addPhotos(photos(1));
    whenModalShows([&](QWidget* dialog) { QMetaObject::invokeMethod(itemNamed(dialog, "cancelButton"), "clicked"); });
    trigger("Make Slideshow...");
    EXPECT_EQ(program.convert().state(), ConvertViewModel::StopState);
    EXPECT_EQ(program.convert().resultPath(), QString());

    program.settings().setNeedClarify(false);
    trigger("Make Slideshow");
    EXPECT_EQ(program.convert().state(), ConvertViewModel::ConvertState);
}

TEST_F(MainView, FailedConversionShowsTheCodeAndReportsTheProblemUntranslated)
{
    QList<QUrl> launched;
    const auto previous = ComponentModel::setUrlLauncher([&](const QUrl& url, ComponentModel::LaunchMode) {
        launched << url;
        return true;
    });
    QSettings().setValue(QStringLiteral("mailSupport"), QStringLiteral("mailto:support@localhost"));
    // No folder can be made under a file: the video file cannot be created.
    const QString blocker = makePhoto(files, "blocker.jpg");
    program.chooseTinyShow(blocker + QStringLiteral("/videos"));
    program.addPhotos(photos(1));
    int code = 0;
    QString description;
    QObject::connect(&program.convert(), &ConvertViewModel::conversionFailed, window, [&](int c, QString d) {
        code = c;
        description = d;
    });
    MessageAnswer seen;
    answerMessageBox(QStringLiteral("Report Problem"), &seen);
    trigger("Make Slideshow");
    EXPECT_TRUE(qmltest::waitFor([&] { return !seen.text.isEmpty(); }, 20000)) << "no message box within 20 s";
    ComponentModel::setUrlLauncher(previous);

    ASSERT_NE(code, 0);
    EXPECT_FALSE(description.isEmpty());
    const QString detail = description + QStringLiteral("\n\nError code: ") + QString::number(code);
    EXPECT_EQ(seen.text, QStringLiteral("Sorry. Slideshow creation failed.\n\n") + detail);
    EXPECT_EQ(seen.buttons, QStringList({"Report Problem", "Close"}));
    EXPECT_EQ(seen.format, Qt::PlainText);
    ASSERT_EQ(launched.size(), 1);
    const QUrlQuery mail(launched.first());
    EXPECT_EQ(mail.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
              QStringLiteral("[Problem] Slideshow creation failed"));
    EXPECT_TRUE(mail.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded).startsWith(detail));
    EXPECT_TRUE(enabled("Make Slideshow"));
}

// With no mail program and no browser, "Report Problem" says so in the
// window instead of closing the message and doing nothing.
TEST_F(MainView, AReportProblemTheDesktopTakesNowhereIsTold)
{
    const auto previous =
        ComponentModel::setUrlLauncher([](const QUrl&, ComponentModel::LaunchMode) { return false; });
    QSettings().setValue(QStringLiteral("mailSupport"), QStringLiteral("mailto:support@localhost"));
    QSettings().setValue(QStringLiteral("webFeedback"), QStringLiteral("http://127.0.0.1:1/feedback"));
    QStringList buttons;
    std::optional<MessageBoxCloser> thenTold; // closes the box that follows, keeping its text
    whenModalShows([&](QWidget* modal) {
        for (QAbstractButton* b : qobject_cast<QMessageBox*>(modal)->buttons())
            buttons << b->text();
        thenTold.emplace();
        for (QAbstractButton* b : qobject_cast<QMessageBox*>(modal)->buttons())
            if (b->text() == QStringLiteral("Report Problem"))
                b->click();
    });
    emit program.convert().conversionFailed(4, QStringLiteral("Video encoder failed."));
    ComponentModel::setUrlLauncher(previous);
    EXPECT_EQ(buttons, QStringList({"Report Problem", "Close"}));
    ASSERT_TRUE(thenTold);
    EXPECT_EQ(thenTold->texts, QStringList("The desktop has no program to send the report to \"support@localhost\" "
                                           "nor to open the page \"http://127.0.0.1:1/feedback\"."));
}

TEST_F(MainView, ClosingDuringAConversionAsksAndRefusesDrops)
{
    startPausedConversion();
    ASSERT_FALSE(HasFatalFailure());
    // While a conversion runs, drops are refused.
    EXPECT_FALSE(dropFiles(window, photos(1, "late"), QPoint(300, 200)));
    EXPECT_EQ(program.slideCount(), 1);

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

// The conversion goes on to its end while the question before quitting is
// open: its good news never shows on top of the question, comes after
// "Cancel", and "Quit" still closes the window, the finished video kept.
TEST_F(MainView, AConversionEndingWhileTheQuitQuestionIsOpenWaitsForTheAnswer)
{
    const QString question = QStringLiteral("Slideshow saving process not finished yet. Are you sure want to quit?");
    for (const QString& answer : {QStringLiteral("Cancel"), QStringLiteral("Quit")}) {
        SCOPED_TRACE(answer.toStdString());
        startPausedConversion();
        ASSERT_FALSE(HasFatalFailure());
        QStringList shown; // each box as it is answered, the question once the conversion has ended
        QTimer answerer;
        QObject::connect(&answerer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            const bool isQuestion = box->text() == question;
            if (isQuestion && program.convert().state() != ConvertViewModel::StopState) {
                if (program.convert().state() == ConvertViewModel::PauseState)
                    program.convert().pause(); // resumes it
                return;
            }
            shown << box->text();
            for (QAbstractButton* button : box->buttons())
                if (button->text() == (isQuestion ? answer : QStringLiteral("Close")))
                    return button->click();
        });
        answerer.start(5);
        window->close();
        const QStringList expected{question, QStringLiteral("Good news! Slideshow successfully created.")};
        EXPECT_TRUE(qmltest::waitFor([&] { return shown.size() >= (answer == "Cancel" ? 2 : 1); }, 30000));
        EXPECT_EQ(shown, answer == "Cancel" ? expected : expected.mid(0, 1));
        EXPECT_EQ(window && window->isVisible(), answer == "Cancel");
    }
    EXPECT_EQ(QDir(QString::fromStdString(output.path())).entryList(QDir::Files).size(), 2);
}

// A conversion that waits for a photo under a long path names it in a
// line that fits the window: the words whole, the path shortened in its
// middle, and no tip over it while the wait lasts.
TEST_F(MainView, AWaitingConversionsLineFitsTheWindowAndNoTipCoversIt)
{
    std::string folder = files.path();
    for (int i = 0; i < 6; ++i) {
        folder += "/a folder with a rather long name " + std::to_string(i);
        ASSERT_EQ(0, ::mkdir(folder.c_str(), 0700));
    }
    const QString photo = makePhoto(files, folder.substr(files.path().size() + 1) + "/photo 12.jpg");
    program.chooseTinyShow(QString::fromStdString(output.path()));
    program.addPhotos({photo});
    kestrel::test::lease_holder lease(photo.toStdString());
    ASSERT_EQ(lease.next(), 'l') << "no lease could be taken";
    trigger("Make Slideshow");
    ASSERT_TRUE(qmltest::waitFor([&] { return !program.convert().waitingText().isEmpty(); }, 20000))
        << "the conversion never named its wait";
    settle(100);

    QQuickItem* overlay = itemNamed(window, "convertOverlay");
    QQuickItem* line = itemNamed(window, "convertStateText");
    const QString text = line->property("text").toString();
    const qreal left = line->mapToItem(overlay, QPointF(0, 0)).x();
    EXPECT_GE(left, 0) << text.toStdString();
    EXPECT_LE(left + line->property("paintedWidth").toReal(), overlay->width()) << text.toStdString();
    EXPECT_EQ(line->property("lineCount").toInt(), 2) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\nWaiting for \"") + QString::fromStdString(files.path()).left(10)))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QChar(0x2026))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("/photo 12.jpg\": another program holds a lease on it.")))
        << text.toStdString();

    QObject* tip = rootOf(window)->findChild<QObject*>(QStringLiteral("tipAnimation"));
    ASSERT_TRUE(tip);
    EXPECT_FALSE(tip->property("running").toBool()) << "the tip comes over the wait";
    EXPECT_EQ(itemNamed(window, "convertTipText")->opacity(), 0);
    EXPECT_EQ(line->opacity(), 1);

    MessageAnswer seen;
    answerMessageBox(QStringLiteral("Close"), &seen);
    lease.let_go();
    EXPECT_TRUE(qmltest::waitFor([&] { return !seen.text.isEmpty(); }, 60000)) << "no result";
}

// The tests' share of `files`: its folder "source" seen at "share".
static std::unique_ptr<kestrel::test::hanging_share> shareIn(const kestrel::test::TempDir& files)
{
    const std::string source = files.file("source"), mounted = files.file("share");
    ::mkdir(source.c_str(), 0700);
    ::mkdir(mounted.c_str(), 0700);
    return std::make_unique<kestrel::test::hanging_share>(source, mounted);
}

// Cancel with the output folder's removals held: the notice of the file
// left behind shows once the overlay, its progress, Pause and Cancel have
// gone.
TEST_F(MainView, TheNoticeAfterCancelShowsWithoutTheConversionsOverlay)
{
    const std::string mounted = files.file("share");
    const std::unique_ptr<kestrel::test::hanging_share> share = shareIn(files);
    if (!share->unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share->unavailable();
    program.chooseTinyShow(QString::fromStdString(mounted));
    program.addPhotos(photos(1));
    trigger("Make Slideshow");
    ASSERT_EQ(program.convert().state(), ConvertViewModel::ConvertState);
    program.convert().pause();
    QQuickItem* overlay = itemNamed(window, "convertOverlay");
    ASSERT_TRUE(qmltest::waitFor([&] { return overlay->opacity() == 1.0; }));

    share->hang("unlink");
    QString notice;
    bool overlayGone = false;
    whenModalShows([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_TRUE(box);
        notice = box->text();
        overlayGone = qmltest::waitFor([&] { return !overlay->isVisible(); }, 2000);
        box->close();
    });
    QMetaObject::invokeMethod(itemNamed(window, "cancelButton"), "clicked");
    EXPECT_TRUE(qmltest::waitFor([&] { return !notice.isEmpty(); }, 20000)) << "no notice";
    share->answer();
    EXPECT_TRUE(notice.contains(QStringLiteral(".lumivista-unfinished-"))) << notice.toStdString();
    EXPECT_TRUE(overlayGone) << "the notice shows over the conversion's overlay";
}

// A start whose stored photos are on a share that hangs shows each slide
// at once in its place, a frame until its photo comes in once the share
// answers.
TEST_F(MainView, ARestoreFromAShareThatHangsShowsTheSlidesInTheirPlaces)
{
    const std::string mounted = files.file("share");
    const std::unique_ptr<kestrel::test::hanging_share> share = shareIn(files);
    if (!share->unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share->unavailable();
    QList<ViewModel::StoryboardEntry> stored;
    for (int i = 0; i < 3; ++i) {
        makePhoto(files, "source/p" + std::to_string(i) + ".jpg");
        stored.append({QString::fromStdString(mounted + "/p" + std::to_string(i) + ".jpg"), QString()});
    }
    // A later start of the program, the storyboard stored meanwhile.
    window->close();
    flushDeletes();
    program.main.reset();
    ASSERT_TRUE(ViewModel::StoryboardFile::save(stored));
    share->hang("lookup");
    program.main = std::make_unique<ViewModel::MainViewModel>();
    const QWidgetList before = QApplication::topLevelWidgets();
    host->showDialog(mainView, program.main.get(), Mvvm::Dialog::MainWindow);
    window = newWindow<QMainWindow>(before);
    ASSERT_TRUE(window);

    // Items of that name shown; a picture only once it is ready.
    const auto shown = [&](const char* name) {
        int count = 0;
        for (QQuickItem* item : itemsNamed(itemNamed(window, "slideGrid"), name))
            count += item->isVisible() && item->width() > 0 && item->height() > 0 &&
                     (!item->property("status").isValid() || item->property("status").toInt() == 1);
        return count;
    };
    settle(300);
    EXPECT_EQ(shown("slidePlaceholder"), 3) << "the slides waiting do not show";
    EXPECT_FALSE(itemNamed(window, "addBanner")->isVisible());

    share->answer();
    EXPECT_TRUE(qmltest::waitFor([&] { return shown("thumbnail") == 3 && shown("slidePlaceholder") == 0; }, 40000))
        << "the photos never filled in their slides";
}

TEST_F(MainView, NewSlideshowAsksOnlyWhenThereIsSomethingToLose)
{
    MessageAnswer seen;
    answerMessageBox(QStringLiteral("Cancel"), &seen);
    trigger("New Slideshow...");
    EXPECT_EQ(seen.text, QString()) << "asked with nothing to lose";

    // The answer still waits, and takes the question that comes now.
    program.addPhotos(photos(2));
    program.chooseMusic(makeSong(files, "song.mp3"));
    trigger("New Slideshow...");
    EXPECT_EQ(seen.text, QStringLiteral("Are you sure want to create new slideshow? Current progress will be lost."));
    EXPECT_EQ(seen.buttons, QStringList({"Create", "Cancel"}));
    EXPECT_EQ(program.slideCount(), 2);

    answerMessageBox(QStringLiteral("Create"), &seen);
    trigger("New Slideshow...");
    EXPECT_EQ(program.slideCount(), 0);
    EXPECT_EQ(program.music().filePath(), QString());
    EXPECT_TRUE(qmltest::waitFor([&] { return itemNamed(window, "addBanner")->isVisible(); }))
        << "the banner never showed";
}

TEST_F(MainView, MessagesUpdatesAdvertisementsAndTheMakersPagesReachTheUser)
{
    MessageAnswer seen;
    answerMessageBox(QStringLiteral("Open Site"), &seen);
    bool needUpdate = false;
    program.main->receiveUpdate(QStringLiteral("Version 2 is out."), needUpdate);
    EXPECT_EQ(seen.text, QStringLiteral("Version 2 is out."));
    EXPECT_EQ(seen.buttons, QStringList({"Open Site", "Close"}));
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_TRUE(needUpdate);

    // Feed text is shown as it reads: its markup is neither a live link nor
    // a picture.
    answerMessageBox(QStringLiteral("Close"), &seen);
    const QString message = QStringLiteral("Thank you. <a href=\"file:///etc/passwd\">More</a><img src=\"/x.png\">");
    program.main->receiveMessage(message);
    EXPECT_EQ(seen.text, message);
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.buttons, QStringList({"Close"}));

    // The photos away at start: only a button answers, in the singular for one photo.
    for (const int count : {2, 1}) {
        const QStringList answers = count == 1 ? QStringList({"Keep It", "Remove It"})
                                               : QStringList({"Keep Them", "Remove Them"});
        seen = MessageAnswer();
        answerMessageBox(answers[1], &seen);
        emit program.storyboard().photosAway(QStringLiteral("Away"), count);
        EXPECT_EQ(seen.text, QStringLiteral("Away"));
        EXPECT_EQ(seen.buttons, answers);
        EXPECT_EQ(seen.format, Qt::PlainText);
    }

    QQuickItem* strip = itemNamed(window, "advertisement");
    EXPECT_FALSE(strip->isVisible());
    emit program.main->advertisementReceived(QStringLiteral("http://127.0.0.1/offer"),
                                             QStringLiteral("<a href=http://127.0.0.1/offer>Try the editor</a>"),
                                             QString());
    EXPECT_TRUE(strip->isVisible());
    EXPECT_TRUE(itemNamed(window, "advertisementText")->isVisible());
    EXPECT_FALSE(itemNamed(window, "advertisementBanner")->isVisible());
    keepScreenshot(window, QStringLiteral("mainview-advertisement"));
    QMetaObject::invokeMethod(itemNamed(window, "advertisementClose"), "clicked");
    EXPECT_FALSE(strip->isVisible());

    QList<QUrl> launched;
    const auto previous = ComponentModel::setUrlLauncher([&](const QUrl& url, ComponentModel::LaunchMode) {
        launched << url;
        return true;
    });
    QSettings().setValue(QStringLiteral("webFacebook"), QStringLiteral("http://127.0.0.1/facebook"));
    QSettings().setValue(QStringLiteral("webHelp"), QStringLiteral("http://127.0.0.1/help"));
    trigger("Facebok");
    trigger("Help");
    ComponentModel::setUrlLauncher(previous);
    EXPECT_EQ(launched, QList<QUrl>({QUrl(QStringLiteral("http://127.0.0.1/facebook")),
                                     QUrl(QStringLiteral("http://127.0.0.1/help"))}));
}

} // namespace
