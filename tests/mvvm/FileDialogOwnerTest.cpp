// On a desktop (a virtual X server under a window manager), the file dialog
// shown by the file chooser in a process of its own is the opening
// window's own dialog: transient for it every time, above it when the
// window is clicked, and the window's keys work again the moment it goes,
// however it went. A dialog or message box that comes while the user is
// in another program leaves the keyboard there, and a box waiting for the
// user shows, and stays, before any close of the window.

#include "HostedWindows.h"
#include "XDesktop.h"

#include "mvvm/Dialog.h"

#include "support-qt/QmlTesting.h"
#include "support-qt/TestChooser.h"

#include <gtest/gtest.h>

#include <csignal>

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWindow>

using Mvvm::Dialog;

namespace {

class FileDialogOwner : public testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "on a desktop only (xvfb.FileDialogOwner)";
        // Drawn in software, as the views' tests are: the virtual display's
        // GL driver keeps allocations the leak checker reports.
        qmltest::useSoftwareQuick();
        QSettings().remove(QStringLiteral("Dialog"));
        const QWidgetList before = QApplication::topLevelWidgets();
        host.showDialog(QStringLiteral("qrc:/views/opener.qml"), Dialog::MainWindow);
        window = newWindow<QMainWindow>(before);
        ASSERT_TRUE(window);
        root = rootOf(window);
        ASSERT_TRUE(root);
        window->move(40, 40);
        window->activateWindow();
        ASSERT_TRUE(qmltest::waitFor([this] { return keyboardOnTheWindow() && QApplication::activeWindow() == window; },
                                     10000))
            << "the window never had the keyboard";
    }

    void TearDown() override
    {
        delete window; // not closed: closing would save its geometry
        QSettings().remove(QStringLiteral("Dialog"));
    }

    xcb_window_t windowId() const { return xcb_window_t(window->winId()); }

    // Whether the window has the keyboard, within a bound: the window
    // manager gives it back once a dialog has gone.
    bool keyboardOnTheWindow() const
    {
        return qmltest::waitFor([this] { return xdesktop::focus() == windowId(); }, 10000);
    }

    int opened() const { return root->property("opened").toInt(); }
    int closed() const { return root->property("closed").toInt(); }

    // The dialog's own window once the chooser has shown its `count`th
    // dialog, within a bound; 0 when none.
    xcb_window_t dialogShown(int count) const
    {
        if (!qmltest::waitFor([&] { return chooser.count(QStringLiteral("window")) >= count; }, 15000))
            return 0;
        return xcb_window_t(chooser.noted(QStringLiteral("window")).toULongLong());
    }

    QString cue(int index) const { return cues.filePath(QStringLiteral("cue%1").arg(index)); }
    static void give(const QString& cue) { QFile(cue).open(QIODevice::WriteOnly); }

    TestChooser chooser;
    MessageBoxCloser boxes;
    QTemporaryDir cues;
    Dialog host;
    QPointer<QMainWindow> window;
    QObject* root = nullptr;
};

// The window each message box is made transient for as it shows.
struct BoxOwners : QObject {
    BoxOwners() { QApplication::instance()->installEventFilter(this); }
    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* box = qobject_cast<QMessageBox*>(object);
        if (box && event->type() == QEvent::Show)
            owners << box->windowHandle()->transientParent();
        return false;
    }
    QList<QWindow*> owners;
};

} // namespace

// Twenty dialogs in a row, each opened as the last has gone, every other
// one while another window is the active one (as the window is not until
// the window system has given it the keyboard back): each one's
// WM_TRANSIENT_FOR names the window that opened it.
TEST_F(FileDialogOwner, EachDialogIsTransientForTheWindowThatOpenedIt)
{
    const int openings = 20;
    QWidget elsewhere;
    elsewhere.setWindowTitle(QStringLiteral("Another window"));
    elsewhere.setGeometry(900, 40, 200, 100);
    elsewhere.show();
    QList<xcb_window_t> owners;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const int shown = chooser.count(QStringLiteral("window"));
        if (shown <= owners.size())
            return;
        owners << xdesktop::transientFor(xcb_window_t(chooser.noted(QStringLiteral("window")).toULongLong()));
        give(cue(shown));
    });
    watch.start(20);
    for (int i = 1; i <= openings; ++i) {
        if (i % 2 == 0) {
            elsewhere.activateWindow();
            ASSERT_TRUE(qmltest::waitFor([&] { return QApplication::activeWindow() == &elsewhere; }, 5000));
        }
        chooser.willTake({"await " + cue(i), "cancel"});
        QMetaObject::invokeMethod(root, "open");
        ASSERT_EQ(owners.size(), i) << "dialog " << i << " was not seen: " << chooser.notes().join(' ').toStdString();
    }
    EXPECT_EQ(owners, QList<xcb_window_t>(openings, windowId()));
    EXPECT_EQ(boxes.texts, QStringList());
}

// A click on the window while its dialog shows: the dialog stays above it
// (the window takes no input meanwhile).
TEST_F(FileDialogOwner, AClickOnTheWindowLeavesTheDialogAboveIt)
{
    if (!xdesktop::canFakeInput())
        GTEST_SKIP() << "the X server has no XTEST";
    bool above = false;
    QTimer watch;
    watch.setSingleShot(true);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const xcb_window_t dialog = dialogShown(1);
        if (!dialog || !qmltest::waitFor([&] { return xdesktop::stackedAbove(dialog, windowId()); }, 5000)) {
            give(cue(1));
            return;
        }
        const QPoint corner = window->mapToGlobal(QPoint(5, window->height() - 5));
        xdesktop::clickAt(corner.x(), corner.y());
        // The window manager's answer to the click: the keyboard goes to
        // the dialog, above the window; else the window comes up.
        above = qmltest::waitFor(
            [&] { return xdesktop::focus() == dialog && xdesktop::stackedAbove(dialog, windowId()); }, 5000);
        above = above && !qmltest::waitFor([&] { return xdesktop::stackedAbove(windowId(), dialog); }, 500);
        give(cue(1));
    });
    watch.start(0);
    chooser.willTake({"await " + cue(1), "cancel"});
    QMetaObject::invokeMethod(root, "open");
    EXPECT_TRUE(above) << "the click brought the window above its dialog";
    EXPECT_EQ(closed(), 1);
}

// Ctrl+O, the window's own shortcut, opens the next dialog right after
// each way the last one went: Escape, Cancel, a file chosen, and its
// window gone from the screen before any answer (the window then had the
// keyboard back while the wait still blocked it, and a box said the dialog
// was lost).
TEST_F(FileDialogOwner, TheWindowsShortcutsWorkRightAfterEachWayADialogGoes)
{
    if (!xdesktop::canFakeInput())
        GTEST_SKIP() << "the X server has no XTEST";
    const QString photo = cues.filePath(QStringLiteral("a.jpg"));
    give(photo);
    const QList<QStringList> ways{{"wait 200", "escape"}, {"wait 200", "cancel"},
                                  {"wait 200", "name " + photo, "accept"},
                                  {"wait 200", "unmap", "wait 500", "cancel"}, {"cancel"}};
    for (int i = 0; i < ways.size(); ++i) {
        chooser.willTake(ways.at(i));
        ASSERT_TRUE(keyboardOnTheWindow()) << "after dialog " << i;
        xdesktop::pressCtrlAnd('o');
        ASSERT_TRUE(qmltest::waitFor([&] { return closed() == i + 1; }, 15000))
            << "Ctrl+O did nothing after dialog " << i << ": " << chooser.notes().join(' ').toStdString();
    }
    EXPECT_EQ(opened(), ways.size());
}

// Another program destroys the dialog's window (as `xdotool windowclose`
// does), or takes it off the screen, while the chooser lives on: the
// window's wait ends within seconds and the window says nothing was
// chosen, in a box of its own (transient for it).
TEST_F(FileDialogOwner, ADialogTakenAwayByAnotherProgramLeavesTheWindowFree)
{
    for (const bool destroy : {true, false}) {
        SCOPED_TRACE(destroy ? "destroyed" : "unmapped");
        const int before = closed();
        chooser.willTake({"await " + cue(before + 1), "cancel"});
        BoxOwners boxOwners;
        QTimer takeAway;
        takeAway.setSingleShot(true);
        QObject::connect(&takeAway, &QTimer::timeout, [&] {
            const xcb_window_t dialog = dialogShown(before + 1);
            if (!dialog || !qmltest::waitFor([&] { return xdesktop::focus() == dialog; }, 10000)) {
                give(cue(before + 1));
                return;
            }
            // This connection is another client for the chooser.
            if (destroy)
                xcb_destroy_window(xdesktop::connection(), dialog);
            else
                xcb_unmap_window(xdesktop::connection(), dialog);
            xcb_flush(xdesktop::connection());
            // Given up by the chooser's own bound otherwise.
            QTimer::singleShot(8000, &takeAway, [this, before] { give(cue(before + 1)); });
        });
        takeAway.start(0);
        QElapsedTimer waited;
        waited.start();
        QMetaObject::invokeMethod(root, "open");
        EXPECT_LT(waited.elapsed(), 8000) << "the window stayed blocked";
        EXPECT_EQ(closed(), before + 1);
        EXPECT_EQ(boxes.texts.filter(QStringLiteral("Another program closed the file dialog")).size(), 1)
            << boxes.texts.join('|').toStdString();
        EXPECT_EQ(boxOwners.owners, QList<QWindow*>{window->windowHandle()});
        boxes.texts.clear();
        EXPECT_TRUE(chooser.allEndedWithin(5000)) << "the chooser lives on";
    }
}

// The user's next key, pressed the moment the dialog has left the screen
// and the keyboard is the window's again, reaches the window: Ctrl+O opens
// the next dialog.
TEST_F(FileDialogOwner, AKeyPressedAsTheDialogLeavesReachesTheWindow)
{
    if (!xdesktop::canFakeInput())
        GTEST_SKIP() << "the X server has no XTEST";
    const int openings = 6;
    int pressed = 0;
    QTimer pressWhenGone;
    QObject::connect(&pressWhenGone, &QTimer::timeout, [&] {
        const int shown = chooser.count(QStringLiteral("window"));
        const xcb_window_t dialog = xcb_window_t(chooser.noted(QStringLiteral("window")).toULongLong());
        if (shown <= pressed || !xdesktop::onTheScreen(dialog))
            return;
        pressed = shown;
        // The window's thread is held here until the key is pressed, as a
        // busy machine may hold it: the wait must end by what came before
        // the key, not by when the window's thread turns.
        QElapsedTimer bound;
        bound.start();
        while (bound.elapsed() < 10000 && xdesktop::onTheScreen(dialog))
            QThread::usleep(200);
        // Nor may it wait for the chooser, which a busy machine may not run
        // for a while once its window has gone.
        const pid_t pid = chooser.noted(QStringLiteral("pid")).toInt();
        ::kill(pid, SIGSTOP);
        QTimer::singleShot(500, [pid] { ::kill(pid, SIGCONT); });
        while (bound.elapsed() < 10000 && xdesktop::focus() != windowId())
            QThread::usleep(200);
        if (shown < openings)
            xdesktop::pressCtrlAnd('o');
    });
    pressWhenGone.start(20);
    chooser.willTake({"wait 300", "cancel"});
    QMetaObject::invokeMethod(root, "open");
    EXPECT_TRUE(qmltest::waitFor([&] { return closed() == openings; }, 15000))
        << "a key was lost: " << opened() << " of " << openings << " dialogs opened";
    EXPECT_EQ(opened(), openings);
    EXPECT_EQ(boxes.texts, QStringList());
}

// The window's wait for a dialog that shows ends as the program's end ends
// it: the chooser, asked to end, ends without a word (its connection to
// the X server closed under Qt is no X server that died).
TEST_F(FileDialogOwner, AChooserAskedToEndWhileItsDialogShowsSaysNothing)
{
    int saidBefore = -1;
    QTimer end;
    end.setSingleShot(true);
    QObject::connect(&end, &QTimer::timeout, [&] {
        const bool shown = dialogShown(1) && qmltest::waitFor([&] { return chooser.count("shown") == 1; }, 5000);
        saidBefore = chooser.count(QStringLiteral("said"));
        if (auto* wait = qobject_cast<QDialog*>(QApplication::activeModalWidget()); wait && shown)
            wait->reject();
        else
            give(cue(1));
    });
    end.start(0);
    chooser.willTake({"await " + cue(1), "cancel"});
    QMetaObject::invokeMethod(root, "open");
    EXPECT_TRUE(chooser.allEndedWithin(10000)) << "the chooser lives on";
    EXPECT_EQ(chooser.count(QStringLiteral("said")), saidBefore) << chooser.notes().join('\n').toStdString();
    EXPECT_FALSE(chooser.notes().contains(QStringLiteral("ended"))) << "the dialog closed before its end was asked";
    EXPECT_EQ(boxes.texts, QStringList());
}

// The user went to another program before the dialog, or a box about it,
// came: the dialog comes without taking the keyboard from that program nor
// rising above it, and asks for attention; the box waits, the window asking
// for attention, until the user is back.
TEST_F(FileDialogOwner, ADialogOrBoxComingWhileTheUserIsElsewhereLeavesTheKeyboardThere)
{
    if (!xdesktop::canFakeInput())
        GTEST_SKIP() << "the X server has no XTEST";
    xdesktop::OtherProgramWindow other(700, 300);
    const auto goThere = [&] {
        if (!qmltest::waitFor([&] { return xdesktop::onTheScreen(other.id()); }, 10000))
            return false;
        other.click();
        return qmltest::waitFor([&] { return xdesktop::focus() == other.id(); }, 10000);
    };
    ASSERT_TRUE(goThere()) << "the other program never had the keyboard";

    bool dialogLeftIt = false;
    QTimer watch;
    watch.setSingleShot(true);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const xcb_window_t dialog = dialogShown(1);
        dialogLeftIt = dialog && qmltest::waitFor([&] { return xdesktop::demandsAttention(dialog); }, 5000) &&
                       !qmltest::waitFor([&] { return xdesktop::focus() != other.id(); }, 1000) &&
                       xdesktop::stackedAbove(other.id(), windowId());
        give(cue(1));
    });
    watch.start(0);
    chooser.willTake({"await " + cue(1), "cancel"});
    QMetaObject::invokeMethod(root, "open");
    EXPECT_TRUE(dialogLeftIt) << "the dialog took the keyboard or rose above the other program";

    ASSERT_TRUE(goThere()) << "the other program never had the keyboard again";
    bool waited = false, shownOnReturn = false;
    const auto box = [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); };
    QTimer boxWatch, returned;
    boxWatch.setSingleShot(true);
    QObject::connect(&boxWatch, &QTimer::timeout, [&] {
        waited = qmltest::waitFor([&] { return xdesktop::demandsAttention(windowId()); }, 5000) &&
                 !qmltest::waitFor([&] { return box() || xdesktop::focus() != other.id(); }, 1000);
        const QPoint corner = window->mapToGlobal(QPoint(5, window->height() - 5));
        xdesktop::clickAt(corner.x(), corner.y());
        returned.start(20);
    });
    QObject::connect(&returned, &QTimer::timeout, [&] {
        if (!box() || !box()->isActiveWindow())
            return;
        shownOnReturn = true;
        box()->close();
    });
    boxWatch.start(0);
    boxes.paused = true;
    QTimer::singleShot(15000, &boxWatch, [this] { boxes.paused = false; }); // never held for good
    Dialog(window).showMessageDialog(QStringLiteral("A conversion ended"));
    EXPECT_TRUE(waited) << "the box came while the user was in the other program";
    EXPECT_TRUE(shownOnReturn) << "the box did not come when the user was back";
}


// A conversion's good news comes while the user is in another program, and
// the user then closes the window: from a task bar (the keyboard staying in
// the other program), with its title bar's close, or with Alt+F4 as they
// come back, pressed the moment the box has the keyboard. Each time the
// box shows first and stays, over the window, which stays open; the box
// seen, Alt+F4 closes it as its Close does.
TEST_F(FileDialogOwner, AWindowClosedWhileItsBoxWaitsForTheUserShowsTheBoxWhichStays)
{
    if (!xdesktop::canFakeInput())
        GTEST_SKIP() << "the X server has no XTEST";
    enum class Way { TaskBar, TitleBar, AltF4AsTheBoxComes };
    const auto box = [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); };
    const auto boxWindow = [&box] { return box() ? xcb_window_t(box()->winId()) : xcb_window_t(0); };
    xdesktop::OtherProgramWindow other(900, 600);
    for (const Way way : {Way::TaskBar, Way::TitleBar, Way::AltF4AsTheBoxComes}) {
        SCOPED_TRACE(way == Way::TaskBar ? "a task bar's close" : way == Way::TitleBar ? "the title bar's close"
                                                                                      : "Alt+F4 as the box comes");
        // Back at the window after the last box, as after answering it: Qt
        // asks for the window's attention anew only once it was active.
        const QPoint corner = window->mapToGlobal(QPoint(5, window->height() - 5));
        xdesktop::clickAt(corner.x(), corner.y());
        ASSERT_TRUE(qmltest::waitFor([&] { return QApplication::activeWindow() == window; }, 10000));
        ASSERT_TRUE(qmltest::waitFor([&] { return xdesktop::onTheScreen(other.id()); }, 10000));
        other.click();
        // Qt asks for attention only once it knows the window inactive.
        ASSERT_TRUE(qmltest::waitFor(
            [&] { return xdesktop::focus() == other.id() && !QApplication::activeWindow(); }, 10000))
            << "the other program never had the keyboard";
        // Step by step in the window's turns: the box shows only once the
        // wait for the user has returned to its own loop.
        enum class Step { Elsewhere, Closed, Shown, Seen, Done } step = Step::Elsewhere;
        bool stayed = false, bounded = false;
        QElapsedTimer shown, bound;
        bound.start();
        QTimer act;
        QObject::connect(&act, &QTimer::timeout, [&] {
            const bool onTheScreen = boxWindow() && xdesktop::onTheScreen(boxWindow());
            // A box still away by then is brought by the user's coming
            // back, and closed.
            if (bound.elapsed() > 15000) {
                bounded = true;
                if (box())
                    box()->close();
                else
                    xdesktop::clickAt(corner.x(), corner.y());
            }
            switch (step) {
            case Step::Elsewhere:
                if (!xdesktop::demandsAttention(windowId()))
                    return;
                step = Step::Closed;
                if (way == Way::TaskBar)
                    xdesktop::closeFromATaskBar(windowId());
                else if (way == Way::TitleBar)
                    xdesktop::clickTitleBarClose(windowId());
                else
                    xdesktop::clickAt(corner.x(), corner.y());
                return;
            case Step::Closed:
                if (way == Way::AltF4AsTheBoxComes) {
                    if (!boxWindow() || xdesktop::focus() != boxWindow())
                        return;
                    xdesktop::pressAltF4();
                } else if (!onTheScreen) {
                    return;
                }
                step = Step::Shown;
                shown.start();
                return;
            case Step::Shown:
                // Still there a second later: no close took it.
                if (!box() || !window->isVisible()) {
                    step = Step::Done;
                    return;
                }
                if (shown.elapsed() < 1000)
                    return;
                stayed = onTheScreen;
                step = Step::Seen;
                if (way == Way::AltF4AsTheBoxComes)
                    xdesktop::pressAltF4();
                else
                    box()->close();
                return;
            case Step::Seen:
            case Step::Done:
                return;
            }
        });
        act.start(20);
        boxes.paused = true;
        const int answer =
            Dialog(window).showMessageDialog(QStringLiteral("Good news! Slideshow successfully created."),
                                             Dialog::InformationIcon, QString(),
                                             {QStringLiteral("Show In Folder"), QStringLiteral("Play"),
                                              QStringLiteral("Close")},
                                             0, Dialog::AutoText, 2);
        boxes.paused = false;
        EXPECT_NE(step, Step::Elsewhere) << "the window never asked for attention";
        EXPECT_TRUE(stayed) << "the box did not show, or did not stay";
        EXPECT_FALSE(bounded) << "the box seen was not closed as asked";
        EXPECT_TRUE(window->isVisible()) << "the window closed under its box";
        EXPECT_EQ(answer, 2);
    }
}
