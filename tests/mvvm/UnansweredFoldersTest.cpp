// The file dialogs with their folders on a share that hangs: Add Photos and
// the output folder's Change open at once, in a folder whose listing
// answered, and once the share answers they start there again. Qt's own
// memory of the last folder its dialog showed, on the share, is never
// looked at, and a bookmark there that does not answer is left out of the
// dialog and kept; the looks left waiting on the share never keep a local
// bookmark out. The dialogs are shown by the tests' file chooser
// (support-qt/TestChooser.h), which makes every look for them; the window
// makes none.

#include "HostedWindows.h"

#include "mvvm/Dialog.h"

#include "support-qt/QmlTesting.h"
#include "support-qt/TestChooser.h"
#include "support/HangingShare.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QSettings>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

using Mvvm::Dialog;

namespace {

// A dialog the window waited for would hold it until the share answers,
// after this; the chooser's own start (a process, its looks, Qt's dialog)
// takes seconds on a loaded machine with a sanitizer.
const std::chrono::seconds hungBound(15);
// The window makes no look for a dialog: it stands still only as long as
// a loaded machine keeps it from turning, far below that.
const qint64 stallBound = 8000;

class UnansweredFolders : public testing::Test {
protected:
    void SetUp() override
    {
        QSettings().remove(QStringLiteral("Dialog"));
        const std::string source = dir.file("source"), mounted = dir.file("share");
        ASSERT_EQ(0, ::mkdir(source.c_str(), 0700));
        for (const char* folder : {"/photos", "/b1", "/b2", "/b3", "/b4"})
            ASSERT_EQ(0, ::mkdir((source + folder).c_str(), 0700));
        ASSERT_EQ(0, ::mkdir(mounted.c_str(), 0700));
        kestrel::test::write_file(source + "/photos/a.jpg", "not a photo");
        share = std::make_unique<kestrel::test::hanging_share>(source, mounted);
    }

    void TearDown() override
    {
        if (share && share->unavailable().empty())
            share->answer();
        EXPECT_TRUE(chooser.allEndedWithin(10000)) << chooser.notes().join(' ').toStdString();
        QSettings().remove(QStringLiteral("Dialog"));
    }

    // Whether `call` returned by itself; else the share answers, so that
    // the test ends.
    bool returnsUnhelped(const std::function<void()>& call)
    {
        return kestrel::test::returns_unhelped(*share, hungBound, call);
    }

    QString photos() const { return QString::fromStdString(dir.file("share/photos")); }
    static QString home() { return QDir(QDir::homePath()).absolutePath(); }

    kestrel::test::TempDir dir;
    std::unique_ptr<kestrel::test::hanging_share> share;
    TestChooser chooser;
    MessageBoxCloser boxes; // a dialog given up is told in one
};

// The longest the window's thread went without turning while `call` ran.
qint64 longestStall(const std::function<void()>& call)
{
    QElapsedTimer sinceTurn;
    qint64 longest = 0;
    QTimer heartbeat;
    heartbeat.setInterval(10);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceTurn.restart());
    });
    sinceTurn.start();
    heartbeat.start();
    call();
    return std::max(longest, sinceTurn.elapsed());
}

const QString qtsLastFolder = QStringLiteral("FileDialog/lastVisited");
const QString qtsBookmarks = QStringLiteral("FileDialog/shortcuts");

// Points Qt's own stored memory of its file dialog's last folder at
// `folder`, and adds it to the dialog's bookmarks with four more on its
// share (more than the share keeps looks waiting) before the home folder,
// as runs before that showed them would have left them.
void setQtsRememberedFolder(const QString& folder, const QStringList& moreOnItsShare)
{
    QSettings qt(QSettings::UserScope, QStringLiteral("QtProject"));
    qt.setValue(qtsLastFolder, QUrl::fromLocalFile(folder).toString());
    QStringList bookmarks{QStringLiteral("file:"), QUrl::fromLocalFile(folder).toString()};
    for (const QString& more : moreOnItsShare)
        bookmarks << QUrl::fromLocalFile(more).toString();
    qt.setValue(qtsBookmarks, bookmarks << QUrl::fromLocalFile(QDir::homePath()).toString());
    // Qt restores its bookmarks only with the sidebar's width it stored.
    qt.setValue(QStringLiteral("FileDialog/sidebarWidth"), 90);
    qt.sync();
}

// Notes when Qt blocks `window` from input for a modal window, and when it
// unblocks it.
struct BlockedWatch : QObject {
    explicit BlockedWatch(QWidget& window) { window.installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::WindowBlocked || event->type() == QEvent::WindowUnblocked)
            changes << (event->type() == QEvent::WindowBlocked ? "blocked" : "unblocked");
        return false;
    }
    QStringList changes;
};

QStringList qtsStoredBookmarks()
{
    return QSettings(QSettings::UserScope, QStringLiteral("QtProject")).value(qtsBookmarks).toStringList();
}

} // namespace

// The folder remembered lies on the share, whose look-ups hang, then whose
// look-ups answer but listings hang (the dialog lists its folder first
// thing): Add Photos and the output folder's Change open at once in the
// home folder, the share asked each time, the window's thread turning.
// Once the share answers they start there, and a file chosen there is
// remembered in its folder.
TEST_F(UnansweredFolders, TheDialogsOpenAtOnceWhereTheirFolderDoesNotAnswerAndThereOnceItDoes)
{
    if (!share->unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share->unavailable();
    QSettings().setValue(QStringLiteral("Dialog/openDialogDirectory"), photos());
    QSettings().setValue(QStringLiteral("Dialog/dirDialogDirectory"), photos());
    Dialog host;

    for (const char* kind : {"lookup", "read"}) {
        share->hang(kind);
        for (const bool folders : {false, true}) {
            SCOPED_TRACE(std::string(kind) + (folders ? ": the output folder's Change" : ": Add Photos"));
            chooser.forgetNotes();
            chooser.willTake({"cancel"});
            qint64 stall = -1;
            EXPECT_TRUE(returnsUnhelped([&] {
                stall = longestStall([&] { folders ? void(host.showDirectoryDialog()) : void(host.showOpenDialog()); });
            })) << "the dialog's start folder held the window";
            EXPECT_LT(stall, stallBound) << "ms the window's thread stood still";
            // A look-up of the same name waits behind the first, in the kernel.
            if (!folders) {
                EXPECT_TRUE(share->held_within(std::chrono::milliseconds(2000))) << "the share was never asked";
            }
            EXPECT_EQ(chooser.noted("shown").toStdString(), home().toStdString());
            if (HasFailure())
                return;
        }
        share->answer();
        ASSERT_TRUE(chooser.allEndedWithin(10000));
    }

    chooser.willTake({"listed a.jpg", "name a.jpg", "accept"});
    EXPECT_EQ(host.showOpenDialog(), QStringList{photos() + "/a.jpg"});
    EXPECT_EQ(chooser.noted("shown"), photos());
    EXPECT_EQ(QSettings().value(QStringLiteral("Dialog/openDialogDirectory")).toString(), photos());
    EXPECT_EQ(boxes.texts, QStringList());
}

// Qt's own file dialog remembers the folder it last showed and its
// bookmarks in its settings (from a run before), and would look at them as
// it is built: with that folder and five bookmarks on the share that hangs,
// each dialog opens at once where the program says, without them but with
// the home folder's bookmark after them (the share keeps four looks
// waiting, its fifth is refused, another disk is looked at as ever), and is
// cancelled, the window's thread turning all along, and the bookmarks are
// kept for when the share answers. A dialog that showed the share leaves
// no memory of it.
TEST_F(UnansweredFolders, QtsOwnRememberedFolderOnTheShareIsNeverLookedAt)
{
    if (!share->unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share->unavailable();
    const QString local = QString::fromStdString(dir.file("local"));
    ASSERT_TRUE(QDir().mkpath(local));
    const QString bookmark = QUrl::fromLocalFile(photos()).toString();
    const QString homeBookmark = QUrl::fromLocalFile(QDir::homePath()).toString();
    QStringList moreOnTheShare;
    for (const char* more : {"share/b1", "share/b2", "share/b3", "share/b4"})
        moreOnTheShare << QString::fromStdString(dir.file(more));
    Dialog host;
    const std::vector<std::pair<const char*, std::function<void()>>> dialogs{
        {"open", [&] { host.showOpenDialog(true, QString(), local); }},
        {"open many", [&] { host.showOpenDialog(false, QString(), local); }},
        {"save", [&] { host.showSaveDialog(QString(), local); }},
        {"directory", [&] { host.showDirectoryDialog(local); }},
    };
    const auto openEachWhileTheShareHangs = [&] {
        for (const auto& [name, show] : dialogs) {
            SCOPED_TRACE(name);
            share->hang("lookup");
            chooser.forgetNotes();
            chooser.willTake({"cancel"});
            qint64 stall = -1;
            EXPECT_TRUE(returnsUnhelped([&] { stall = longestStall(show); })) << "the dialog held the window";
            EXPECT_LT(stall, stallBound) << "ms the window's thread stood still";
            EXPECT_EQ(chooser.noted("shown").toStdString(), local.toStdString());
            EXPECT_FALSE(chooser.noted("bookmarks").contains(QLatin1String("/share/"))) << "the dialog shows the share";
            EXPECT_TRUE(chooser.noted("bookmarks").split(' ').contains(homeBookmark)) << "the home folder was left out";
            // The chooser stores its settings as it ends (a look it left
            // waiting on the share keeps the process until the share answers).
            EXPECT_TRUE(chooser.notesWithin("ended", 10000));
            EXPECT_TRUE(qtsStoredBookmarks().contains(bookmark)) << qtsStoredBookmarks().join(' ').toStdString();
            EXPECT_EQ(boxes.texts, QStringList()) << "the dialog stopped answering";
            if (HasFailure())
                return;
        }
    };

    {
        SCOPED_TRACE("Qt's settings remember the share");
        setQtsRememberedFolder(photos(), moreOnTheShare);
        openEachWhileTheShareHangs();
        if (HasFailure())
            return;
    }

    SCOPED_TRACE("a photo was added from the share");
    share->answer();
    chooser.willTake({"listed a.jpg", "name a.jpg", "accept"});
    EXPECT_EQ(host.showOpenDialog(true, QString(), photos()), QStringList{photos() + "/a.jpg"});
    EXPECT_TRUE(chooser.noted("bookmarks").contains(bookmark)) << "the bookmark was not put back";
    ASSERT_TRUE(chooser.notesWithin("ended", 10000));
    EXPECT_EQ(QSettings(QSettings::UserScope, QStringLiteral("QtProject")).value(qtsLastFolder).toString(), "");
    setQtsRememberedFolder(photos(), moreOnTheShare);
    openEachWhileTheShareHangs();
}

// On a desktop (a virtual X server under a window manager): the dialog is
// the window's own, over it, and the window takes no input while it shows.
// A path of the share typed into it holds its thread: it is given up, the
// window says so, and its window leaves the screen at once although its
// process stays until the share answers.
TEST_F(UnansweredFolders, AGivenUpDialogLeavesTheScreenAndItsProcessHoldsNothing)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "on a desktop only (xvfb.UnansweredFolders.*)";
    if (!share->unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share->unavailable();
    QWidget window;
    window.setWindowTitle(QStringLiteral("The program's window"));
    window.resize(400, 300);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(qmltest::waitFor([&] { return window.isActiveWindow(); }, 10000)) << "the window never became active";
    const QString title = QStringLiteral("A dialog given up");
    const auto onTheScreen = [&title] {
        QProcess tree;
        tree.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
        return tree.waitForFinished(5000) && QString::fromUtf8(tree.readAllStandardOutput()).contains(title);
    };

    bool shownOverTheWindow = false, blockedMeanwhile = false;
    BlockedWatch blocked(window);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (chooser.noted("shown").isEmpty() || shownOverTheWindow)
            return;
        shownOverTheWindow = qmltest::waitFor(onTheScreen, 5000);
        blockedMeanwhile = blocked.changes.value(0) == "blocked" && blocked.changes.size() == 1;
        share->hang("lookup");
    });
    watch.start(50);
    chooser.willTake({"wait 500", "type " + photos() + "/"});
    Dialog host;
    EXPECT_TRUE(returnsUnhelped([&] { host.showOpenDialog(true, QString(), QString(), title); }))
        << "the dialog held the window";
    EXPECT_TRUE(shownOverTheWindow) << "the dialog was never on the screen";
    EXPECT_TRUE(blockedMeanwhile) << "the window took input while the dialog showed";
    EXPECT_EQ(chooser.noted("transient"), QString::number(window.winId()));
    EXPECT_TRUE(share->held_within(std::chrono::milliseconds(2000))) << "the typed path never reached the share";
    EXPECT_EQ(boxes.texts.filter(QStringLiteral("The file dialog stopped answering")).size(), 1)
        << boxes.texts.join('|').toStdString();

    EXPECT_TRUE(qmltest::waitFor([&] { return !onTheScreen(); }, 5000)) << "the given-up dialog stayed on the screen";
    // Its process stays while a thread of it waits for the share: the window
    // left the screen for the closing of its connections alone.
    EXPECT_EQ(0, ::kill(chooser.noted("pid").toInt(), 0)) << "the dialog's process is gone";
}
