// The file dialogs with their folders on a share that hangs: Add Photos and
// the output folder's Change open at once, in a folder whose listing
// answered, and the folder chosen is remembered as chosen when its
// canonical path does not answer; once the share answers they start there
// again. Qt's own memory of the last folder its dialog showed, on the
// share, is never looked at, and a bookmark there that does not answer is
// left out of the dialog and kept. The dialogs are shown by the tests' file
// chooser (support-qt/TestChooser.h), their looks made as the program makes
// them. Not run under the race checker: Qt's own file dialog works on
// threads of Qt's pool that it cannot see into, and takes their hand-overs
// for races.

#include "HostedWindows.h"

#include "app/FileChooserStart.h"
#include "componentmodel/PatientLook.h"
#include "mvvm/Dialog.h"

#include "support-qt/QmlTesting.h"
#include "support-qt/TestChooser.h"
#include "support/HangingShare.h"
#include "support/TakenPlaces.h"
#include "support/TestFiles.h"

#include "files/DTPathWalk.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QSettings>
#include <QTimer>
#include <QUrl>
#include <QWidget>

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

// The longest the window's thread may stand still while a dialog starts:
// its looks wait a tenth of a second each, at most two of them, and a
// loaded machine with a sanitizer adds to that; a dialog the window waits
// for holds it until the share answers (five seconds).
const qint64 stallBound = 1500;

class UnansweredFolders : public testing::Test {
protected:
    void SetUp() override
    {
        QSettings().remove(QStringLiteral("Dialog"));
        previousLooks = ComponentModel::setLookMaker({});
        Application::prepareFileDialogs();
        const std::string source = dir.file("source"), mounted = dir.file("share");
        ASSERT_EQ(0, ::mkdir(source.c_str(), 0700));
        ASSERT_EQ(0, ::mkdir((source + "/photos").c_str(), 0700));
        ASSERT_EQ(0, ::mkdir(mounted.c_str(), 0700));
        kestrel::test::write_file(source + "/photos/a.jpg", "not a photo");
        share = std::make_unique<kestrel::test::hanging_share>(source, mounted);
    }

    void TearDown() override
    {
        if (share && share->unavailable().empty())
            share->answer();
        EXPECT_TRUE(chooser.allEndedWithin(10000)) << chooser.notes().join(' ').toStdString();
        ComponentModel::setLookMaker(previousLooks);
        QSettings().remove(QStringLiteral("Dialog"));
    }

    // Whether `call` returned by itself; else the share answers after five
    // seconds, so that the test ends.
    bool returnsUnhelped(const std::function<void()>& call)
    {
        return kestrel::test::returns_unhelped(*share, std::chrono::seconds(5), call);
    }

    QString photos() const { return QString::fromStdString(dir.file("share/photos")); }
    static QString home() { return QDir(QDir::homePath()).absolutePath(); }

    kestrel::test::TempDir dir;
    std::unique_ptr<kestrel::test::hanging_share> share;
    TestChooser chooser;
    ComponentModel::LookMaker previousLooks;
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
// `folder`, and adds it to the dialog's bookmarks, as a run before that
// showed it would have left them.
void setQtsRememberedFolder(const QString& folder)
{
    QSettings qt(QSettings::UserScope, QStringLiteral("QtProject"));
    qt.setValue(qtsLastFolder, QUrl::fromLocalFile(folder).toString());
    qt.setValue(qtsBookmarks, QStringList{QStringLiteral("file:"), QUrl::fromLocalFile(QDir::homePath()).toString(),
                                          QUrl::fromLocalFile(folder).toString()});
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
// thing). Six dialogs in a row open at once in the home folder, past the
// four looks the share keeps waiting: the home folder's disk still
// answers. Once the share answers they start there; a file chosen through
// a link into it while the share's places are all taken is remembered in
// its folder as chosen.
TEST_F(UnansweredFolders, TheDialogsOpenAtOnceWhereTheirFolderDoesNotAnswerAndThereOnceItDoes)
{
    if (!share->unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share->unavailable();
    QSettings().setValue(QStringLiteral("Dialog/openDialogDirectory"), photos());
    QSettings().setValue(QStringLiteral("Dialog/dirDialogDirectory"), photos());
    Dialog host;

    for (const char* kind : {"lookup", "read"}) {
        share->hang(kind);
        for (int i = 0; i < 6; ++i) {
            const bool folders = i % 2;
            SCOPED_TRACE(std::string(kind) + (folders ? ": the output folder's Change " : ": Add Photos ") +
                         std::to_string(i));
            chooser.forgetNotes();
            chooser.willTake({"cancel"});
            qint64 stall = -1;
            EXPECT_TRUE(returnsUnhelped([&] {
                stall = longestStall([&] { folders ? void(host.showDirectoryDialog()) : void(host.showOpenDialog()); });
            })) << "the dialog's start folder held the window";
            EXPECT_LT(stall, stallBound) << "ms the window's thread stood still";
            if (i == 0) {
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

    const QString linked = QString::fromStdString(dir.file("linked"));
    ASSERT_EQ(0, ::symlink(photos().toUtf8().constData(), linked.toUtf8().constData()));
    kestrel::test::taken_places taken(kestrel::file_system_reached(photos().toStdString()));
    taken.take();
    chooser.willTake({"folder " + linked, "listed a.jpg", "name a.jpg", "accept"});
    QStringList chosen;
    EXPECT_TRUE(returnsUnhelped([&] { chosen = host.showOpenDialog(); })) << "the chosen folder held the window";
    EXPECT_EQ(chosen, QStringList{linked + "/a.jpg"});
    EXPECT_EQ(QSettings().value(QStringLiteral("Dialog/openDialogDirectory")).toString(), linked);
    EXPECT_EQ(boxes.texts, QStringList());
}

// Qt's own file dialog remembers the folder it last showed and its
// bookmarks in its settings (from a run before), and would look at them as
// it is built: with that folder and a bookmark on the share that hangs,
// each dialog opens at once where the program says, without the bookmark,
// and is cancelled, the window's thread turning all along, and the
// bookmark is kept for when the share answers. A dialog that showed the
// share leaves no memory of it.
TEST_F(UnansweredFolders, QtsOwnRememberedFolderOnTheShareIsNeverLookedAt)
{
    if (!share->unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share->unavailable();
    const QString local = QString::fromStdString(dir.file("local"));
    ASSERT_TRUE(QDir().mkpath(local));
    const QString bookmark = QUrl::fromLocalFile(photos()).toString();
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
            EXPECT_FALSE(chooser.noted("bookmarks").contains(bookmark)) << "the dialog shows the bookmark";
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
        setQtsRememberedFolder(photos());
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
    EXPECT_FALSE(chooser.allEndedWithin(0)) << "the dialog's process ended while its thread waits for the share";
}
