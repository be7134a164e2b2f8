// Every action of the user through the real window with the photos and the
// music on a share that hangs: each from a fresh start, done through the
// views, Qt's own dialogs and the preview window while the share hangs, and
// with it the home's, where Qt keeps its cache of compiled QML. The
// window's thread turns throughout and for a while after (a heartbeat that
// prints its stack should it stand still, whatever holds it), makes no file
// call on the share (support/WindowThreadFileCalls.h), and once the share
// answers what the action left to do is done. Qt's own file dialogs are
// shown by the tests' file chooser (support-qt/TestChooser.h), a process of
// its own, as the program shows them, whose dialog takes the row's steps.

#include "qml/ViewTesting.h"

#include "componentmodel/DesktopLauncher.h"
#include "componentmodel/SingleInstanceChannel.h"
#include "mvvm/DialogState.h"
#include "support-qt/TestChooser.h"
#include "support-qt/WindowHeartbeat.h"
#include "support/HangingShare.h"
#include "support/WindowThreadFileCalls.h"

#include <QAbstractButton>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>

using namespace viewtest;
using ViewModel::ConvertViewModel;

namespace {

#if defined(__SANITIZE_THREAD__)
constexpr bool raceChecker = true;
#else
constexpr bool raceChecker = false;
#endif
// The longest the window's thread may stand still: the race checker slows
// the window's own work (building the main view at a restore) twice as
// much as AddressSanitizer does.
const std::chrono::milliseconds stallLimit(raceChecker ? 600 : 300);

const QString mainView = QStringLiteral("qrc:/qml/mainview.qml");
// The share answers by itself after this, so that a row that waits for it
// fails in seconds; a row through a file dialog may wait for the dialog to
// be given up (three seconds of its silence). A row that passes never
// waits for the bound, so it is long enough for a row on overloaded cores
// (the file dialogs' processes start slowly there); a window held
// meanwhile is the heartbeat's to find.
const std::chrono::seconds hungBound(15);
const std::chrono::seconds dialogHungBound(20);
// What the share leaves to do comes within this, on two busy cores.
const int answerBound = 40000;

class WindowActions : public testing::Test {
public:
    struct Row {
        const char* name;
        bool qtFileDialog;
        std::function<void(WindowActions&)> act;   // calls hung() when the share is to hang
        std::function<void(WindowActions&)> after; // once it answers again
    };

protected:
    void SetUp() override
    {
        for (const char* folder : {"source", "source/photos", "share", "videos"})
            ASSERT_EQ(0, ::mkdir(files.file(folder).c_str(), 0700));
        for (const char* photo : {"source/a.jpg", "source/b.jpg", "source/c.jpg"})
            makePhoto(files, photo);
        makeSong(files, "source/song.mp3");
        makeSong(files, "source/other.mp3");
        share = std::make_unique<kestrel::test::hanging_share>(files.file("source"), files.file("share"));
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        ASSERT_TRUE(QDir().mkpath(cache) && QDir().mkpath(QString::fromStdString(files.file("cache"))));
        home = std::make_unique<kestrel::test::hanging_share>(files.file("cache"), cache.toStdString());
        launcher = ComponentModel::setUrlLauncher([this](const QUrl& url, ComponentModel::LaunchMode) {
            launched << url.toLocalFile();
            return true;
        });
        // Message boxes shown while the share hangs and after: a question
        // to quit is answered Quit, any other closed; their texts kept.
        QObject::connect(&closer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!answering || !box || !box->isVisible())
                return;
            boxes << box->text();
            for (QAbstractButton* button : box->buttons())
                if (button->text() == QStringLiteral("Quit"))
                    return button->click();
            box->close();
        });
        closer.start(20);
    }

    void TearDown() override
    {
        for (kestrel::test::hanging_share* each : {share.get(), home.get()})
            if (each && each->unavailable().empty())
                each->answer();
        end();
        ComponentModel::setUrlLauncher(launcher);
    }

    // The program as it starts, its photos and music on the share (which
    // answers), the file dialogs remembering the share.
    void start()
    {
        program = std::make_unique<ProgramUnderTest>();
        QSettings qt(QSettings::UserScope, QStringLiteral("QtProject"));
        qt.setValue(QStringLiteral("FileDialog/lastVisited"), QUrl::fromLocalFile(sharedFolder()));
        qt.sync();
        for (const char* key : {"Dialog/openDialogDirectory", "Dialog/dirDialogDirectory"})
            QSettings().setValue(QLatin1String(key), sharedFolder());
        program->chooseTinyShow(QString::fromStdString(files.file("videos")));
        showWindow();
        program->addPhotos({onShare("a.jpg"), onShare("b.jpg")});
        program->chooseMusic(onShare("song.mp3"));
    }
    void showWindow()
    {
        host = std::make_unique<Mvvm::Dialog>();
        const QWidgetList before = QApplication::topLevelWidgets();
        host->showDialog(mainView, program->main.get(), Mvvm::Dialog::MainWindow);
        window = newWindow<QMainWindow>(before);
        ASSERT_TRUE(window && rootOf(window)) << "the main view did not show";
    }
    // As the program ends: the windows, their host, the view models.
    void quit()
    {
        Mvvm::Dialog::closeWindowsWithoutAsking();
        flushDeletes();
        host.reset();
        program->main.reset();
    }
    void end()
    {
        answering = false;
        if (program && program->main)
            program->convert().stop();
        if (program)
            quit();
        program.reset();
    }

    // From now on the share hangs (its requests of `kind`), the window's
    // thread is watched.
    void hung(const char* kind = "all")
    {
        // The watch learns the share's device from the share: before it hangs.
        window_file_calls_watch(files.file("share").c_str());
        share->hang(kind);
        home->hang("all");
        heartbeat.arm(QString::fromUtf8(row));
        answering = true;
    }
    void trigger(const char* text)
    {
        QAction* action = actionNamed(window, QString::fromUtf8(text));
        ASSERT_TRUE(action) << text;
        action->trigger();
    }
    void click(QWidget* view, const char* button) { QMetaObject::invokeMethod(itemNamed(view, button), "clicked"); }
    // Qt's own file dialog has been in the share (the user went there and
    // cancelled), on top of QtProject.conf naming it.
    void qtRemembersTheShare()
    {
        chooser.willTake({"folder " + sharedFolder(), "cancel"});
        trigger("Add Photos");
        EXPECT_TRUE(chooser.notesWithin("ended", answerBound));
        chooser.forgetNotes();
    }
    // Qt's own file dialog, once it shows, left open a moment and cancelled.
    void cancelFileDialog() { chooser.willTake({"wait 300", "cancel"}); }
    // The video made on the share; the good news answered with `button`
    // while the share hangs.
    void goodNewsOnShare(const char* button)
    {
        program->settings().setOutputFolder(shared());
        program->settings().apply();
        bool answered = false;
        whenModalShows(
            [&, button](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                ASSERT_TRUE(box) << "no good news: " << modal->windowTitle().toStdString();
                hung();
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == QLatin1String(button))
                        b->click();
                answered = true;
            },
            answerBound);
        trigger("Make Slideshow");
        EXPECT_TRUE(qmltest::waitFor([&] { return answered; }, answerBound)) << "no good news";
    }
    bool settled(int slides) const
    {
        return program->slideCount() == slides && !program->storyboard().loading() && !program->music().loading();
    }

    // The rows through Qt's own file dialog that meets the share hung.

    // Whether the share has held a call (the row reached it).
    bool shareReached() { return share->held_within(std::chrono::milliseconds(2000)); }

    // Add Photos where the share's listings hang, its look-ups answering:
    // the remembered folder's listing is looked at, and the dialog opens in
    // the home folder and is cancelled. Opened again, the program is asked
    // to end while it shows, as the session's end asks (every event loop
    // ended): the chooser ends with it.
    void endWhileADialogShowsOverAListingThatHangs()
    {
        chooser.willTake({"cancel"});
        hung("read");
        trigger("Add Photos");
        EXPECT_TRUE(shareReached()) << "the remembered folder's listing was never asked";
        EXPECT_EQ(chooser.noted("shown"), QDir(QDir::homePath()).absolutePath());
        chooser.forgetNotes();
        chooser.willTake({"wait 60000"});
        auto* asking = new QTimer(window);
        QObject::connect(asking, &QTimer::timeout, [this, asking] {
            if (chooser.count("shown") < 1)
                return;
            asking->stop();
            QCoreApplication::exit(0);
        });
        asking->start(20);
        trigger("Add Photos");
        EXPECT_TRUE(chooser.allEndedWithin(3000)) << "the chooser outlived the program's end";
    }
    // Event loops run again after an end asked in a row.
    static void takeTheEndBack()
    {
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }

    // A path of the share typed into the dialog: Qt completes it as it is
    // typed, on the dialog's thread, which waits for the share. The dialog
    // is given up once silent for a few seconds, and the user told.
    void typeAPathOfTheShare()
    {
        Mvvm::dialogState().openDialogDirectory = QDir::homePath();
        chooser.willTake({"type " + sharedFolder() + "/"});
        hung();
        trigger("Add Photos");
        EXPECT_TRUE(shareReached()) << "the typed path never reached the share";
    }

    // The dialog shows a folder of the share, which then hangs, and the
    // user double-clicks a folder in it: whatever Qt waits for then holds
    // the dialog (cancelled, or given up), never the window.
    void enterAFolderThatHangs()
    {
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(files.file("source/photos/sub"))));
        const QString cue = QString::fromStdString(files.file("cue"));
        chooser.willTake({"listed sub", "await " + cue, "enter sub", "wait 300", "cancel"});
        auto* cueing = new QTimer(window);
        QObject::connect(cueing, &QTimer::timeout, [this, cueing, cue] {
            if (!chooser.notes().contains(QStringLiteral("listed sub")))
                return;
            cueing->stop();
            hung();
            QFile(cue).open(QIODevice::WriteOnly);
        });
        cueing->start(20);
        trigger("Add Photos");
        EXPECT_TRUE(shareReached()) << "the click never reached the share";
    }

    QString shared() const { return QString::fromStdString(files.file("share")); }
    QString onShare(const char* name) const { return shared() + QLatin1Char('/') + QLatin1String(name); }
    // A folder of the share: its mount point itself may answer from what
    // the kernel keeps while the share hangs.
    QString sharedFolder() const { return onShare("photos"); }
    static const std::vector<Row>& rows();

    kestrel::test::TempDir files;
    std::unique_ptr<kestrel::test::hanging_share> share;
    // Over the cache folder of the home.
    std::unique_ptr<kestrel::test::hanging_share> home;
    std::unique_ptr<ProgramUnderTest> program;
    std::unique_ptr<Mvvm::Dialog> host;
    QPointer<QMainWindow> window;
    WindowHeartbeat heartbeat{STDERR_FILENO, stallLimit};
    QTimer closer;
    bool answering = false;
    const char* row = "";
    ComponentModel::UrlLauncher launcher;
    QStringList launched, boxes;
    TestChooser chooser;
};

using T = WindowActions;

const std::vector<T::Row>& T::rows()
{
    const auto cancelled = [](T& t) {
        EXPECT_EQ(t.chooser.count("shown"), 1) << "Qt's file dialog did not show";
        EXPECT_TRUE(qmltest::waitFor([&] { return t.settled(2); }, answerBound));
        EXPECT_EQ(t.program->music().filePath(), t.onShare("song.mp3"));
    };
    const auto madeInto = [](const char* folder) {
        return [folder](T& t) {
            EXPECT_TRUE(qmltest::waitFor(
                [&] { return t.program->convert().state() == ConvertViewModel::StopState; }, answerBound));
            EXPECT_GT(QFileInfo(t.program->convert().resultPath()).size(), 1000) << "no video";
            EXPECT_EQ(QFileInfo(t.program->convert().resultPath()).absolutePath(),
                      QString::fromStdString(t.files.file(folder)));
        };
    };
    // Handed to the desktop once it answers, or told that it does not.
    const auto handedOrTold = [](T& t) {
        EXPECT_TRUE(qmltest::waitFor(
            [&] { return !t.launched.isEmpty() || t.boxes.filter(QStringLiteral("does not answer")).size(); },
            answerBound))
            << t.boxes.join(QLatin1Char('|')).toStdString();
    };
    // Every chooser has ended once the share answered.
    const auto choosersEnd = [](T& t) {
        EXPECT_TRUE(t.chooser.allEndedWithin(answerBound)) << t.chooser.notes().join(' ').toStdString();
    };
    const auto restored = [](T& t) {
        EXPECT_TRUE(qmltest::waitFor(
            [&] { return t.settled(2) && t.program->music().filePath() == t.onShare("song.mp3"); }, answerBound));
        EXPECT_EQ(t.program->slidePath(1), t.onShare("b.jpg"));
    };
    static const std::vector<Row> table = {
        {"AddPhotos", true,
         [](T& t) {
             t.hung();
             t.cancelFileDialog();
             t.trigger("Add Photos");
         },
         cancelled},
        {"InsertPhotos", true,
         [](T& t) {
             t.program->storyboard().setIndex(0);
             t.hung();
             t.cancelFileDialog();
             QMetaObject::invokeMethod(rootOf(t.window), "insertSlides");
         },
         cancelled},
        {"ChangeMusic", true,
         [](T& t) {
             t.hung();
             t.cancelFileDialog();
             t.trigger("Change Music");
         },
         cancelled},
        {"ChangeOutputFolder", true,
         [](T& t) {
             t.hung();
             whenModalShows([&](QWidget* settings) {
                 t.cancelFileDialog();
                 t.click(settings, "changeButton");
                 t.click(settings, "closeButton");
             });
             t.trigger("Settings");
         },
         cancelled},
        {"Drop", false,
         [](T& t) {
             t.hung();
             EXPECT_TRUE(dropFiles(t.window, {t.onShare("c.jpg"), t.onShare("other.mp3")}, QPoint(300, 200)));
         },
         [](T& t) {
             EXPECT_TRUE(qmltest::waitFor(
                 [&] { return t.settled(3) && t.program->music().filePath() == t.onShare("other.mp3"); },
                 answerBound));
         }},
        {"Rotate", false,
         [](T& t) {
             t.program->storyboard().setIndex(0);
             t.hung();
             t.trigger("Rotate Photo Clockwise");
         },
         [](T& t) { EXPECT_TRUE(qmltest::waitFor([&] { return t.settled(2); }, answerBound)); }},
        {"Remove", false,
         [](T& t) {
             t.program->storyboard().setIndex(0);
             t.hung();
             t.trigger("Remove Photo");
         },
         [](T& t) {
             EXPECT_EQ(t.program->slideCount(), 1);
             EXPECT_EQ(t.program->slidePath(0), t.onShare("b.jpg"));
         }},
        {"Preview", false,
         [](T& t) {
             t.hung();
             whenModalShows([](QWidget* preview) {
                 pressKey(preview, Qt::Key_Space);
                 settle(300);
                 QQuickItem* track = itemNamed(preview, "seekTrack");
                 const QPointF middle = track->mapToScene(QPointF(track->width() / 2, 2));
                 mouseEvent(preview, QEvent::MouseButtonPress, middle, Qt::LeftButton, Qt::LeftButton);
                 mouseEvent(preview, QEvent::MouseButtonRelease, middle, Qt::LeftButton, Qt::NoButton);
                 settle(300);
                 // A smaller picture is asked of the show.
                 preview->resize(preview->size() * 0.7);
                 settle(300);
                 preview->close();
             });
             t.trigger("Show Preview");
         },
         [](T& t) {
             EXPECT_EQ(t.program->player().surface(), nullptr);
             EXPECT_EQ(t.program->player().videoPlayer().state(), Multimedia::Player::StopState);
         }},
        {"Make", false,
         [](T& t) {
             t.hung();
             t.trigger("Make Slideshow");
         },
         madeInto("videos")},
        {"Cancel", false,
         [](T& t) {
             t.hung();
             t.trigger("Make Slideshow");
             settle(300);
             t.click(t.window, "cancelButton");
         },
         [](T& t) {
             EXPECT_EQ(t.program->convert().state(), ConvertViewModel::StopState);
             const QDir videos(QString::fromStdString(t.files.file("videos")));
             EXPECT_TRUE(qmltest::waitFor(
                 [&] { return videos.entryList({".lumivista-unfinished-*"}, QDir::Files | QDir::Hidden).isEmpty(); },
                 answerBound))
                 << "the cancelled video stayed";
         }},
        {"Quit", false,
         [](T& t) {
             t.hung();
             t.trigger("Make Slideshow");
             settle(300);
             t.window->close();
             t.quit();
         },
         [](T& t) {
             t.program->main = std::make_unique<ViewModel::MainViewModel>();
             t.showWindow();
             EXPECT_TRUE(qmltest::waitFor([&] { return t.settled(2); }, answerBound)) << "the slides were not kept";
         }},
        {"ShowInFolder", false, [](T& t) { t.goodNewsOnShare("Show In Folder"); }, handedOrTold},
        {"Play", false, [](T& t) { t.goodNewsOnShare("Play"); }, handedOrTold},
        {"SettingsOnTheShare", false,
         [](T& t) {
             t.hung();
             whenModalShows([&](QWidget* settings) {
                 itemNamed(settings, "outputFolderField")->setProperty("text", t.shared());
                 t.click(settings, "closeButton");
             });
             t.trigger("Settings");
         },
         [](T& t) { EXPECT_EQ(t.program->settings().outputFolder(), t.shared()); }},
        {"Restore", false,
         [](T& t) {
             t.hung();
             t.window->close();
             t.quit();
             t.program->main = std::make_unique<ViewModel::MainViewModel>();
             t.showWindow();
         },
         restored},
        {"SecondStart", false,
         [](T& t) {
             const QString key = QStringLiteral("lumivista-window-actions-%1").arg(::getpid());
             static bool alerted;
             alerted = false;
             auto first = std::make_shared<ComponentModel::SingleInstanceChannel>(key);
             QObject::connect(first.get(), &ComponentModel::SingleInstanceChannel::messageAvailable,
                              t.program->main.get(), [&t] {
                                  t.program->main->alert();
                                  alerted = true;
                              });
             ComponentModel::SingleInstanceChannel second(key);
             ASSERT_TRUE(second.isRunning());
             t.hung();
             ASSERT_TRUE(second.sendMessage(QStringLiteral("show")));
             EXPECT_TRUE(qmltest::waitFor([] { return alerted; }, 3000)) << "the second start was not heard";
         },
         [](T& t) { EXPECT_TRUE(t.window && t.window->isVisible()); }},
        {"EndWhileADialogShowsOverAListingThatHangs", true, [](T& t) { t.endWhileADialogShowsOverAListingThatHangs(); },
         [choosersEnd](T& t) {
             takeTheEndBack();
             choosersEnd(t);
         }},
        {"TypeAPathOfTheShare", true, [](T& t) { t.typeAPathOfTheShare(); },
         [choosersEnd](T& t) {
             EXPECT_EQ(t.boxes.filter(QStringLiteral("The file dialog stopped answering")).size(), 1)
                 << t.boxes.join(QLatin1Char('|')).toStdString();
             choosersEnd(t);
         }},
        {"EnterAFolderThatHangs", true, [](T& t) { t.enterAFolderThatHangs(); }, choosersEnd},
    };
    return table;
}

} // namespace

TEST_F(WindowActions, NeverMakeTheWindowWaitForAShareThatHangs)
{
    if (!share->unavailable().empty() || !home->unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share->unavailable() << home->unavailable();
    // Qt's file dialog and the preview built once, so that no row pays for
    // a first build.
    start();
    cancelFileDialog();
    trigger("Add Photos");
    whenModalShows([](QWidget* preview) { preview->close(); });
    trigger("Show Preview");
    end();

    for (const Row& each : rows()) {
        row = each.name;
        SCOPED_TRACE(row);
        chooser.forgetNotes();
        launched.clear();
        boxes.clear();
        start();
        if (!window || !rootOf(window))
            return;
        if (each.qtFileDialog)
            qtRemembersTheShare();
        const auto bound = each.qtFileDialog ? dialogHungBound : hungBound;
        bool homeUnhelped = true;
        const bool unhelped = kestrel::test::returns_unhelped(*share, bound, [&] {
            homeUnhelped = kestrel::test::returns_unhelped(*home, bound, [&] {
                each.act(*this);
                settle(600);
            });
        });
        heartbeat.disarm();
        window_file_calls_end();
        std::printf("%s: the window's thread stood still for at most %lld ms\n", row,
                    static_cast<long long>(heartbeat.longestStall()));
        share->answer();
        home->answer();
        EXPECT_TRUE(unhelped) << row << ": the window waited for the share until it answered";
        EXPECT_TRUE(homeUnhelped) << row << ": the window waited for the home's share until it answered";
        EXPECT_EQ(heartbeat.failure(), QString());
        EXPECT_STREQ(window_file_calls_forbidden(), "") << row << ": a file call on the window's thread";
        each.after(*this);
        end();
    }
}
