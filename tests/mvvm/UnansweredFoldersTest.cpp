// The file dialogs with their folders on a share that hangs: Add Photos and
// the output folder's Change open at once, in a folder that answered, and
// the folder chosen is remembered as chosen when its canonical path does
// not answer; once the share answers they start there again. Qt's own
// memory of the last folder its dialog showed, on the share, is never
// looked at. Not run under
// the race checker: Qt's own file dialog works on threads of Qt's pool that
// it cannot see into, and takes their hand-overs for races.

#include "HostedWindows.h"

#include "mvvm/Dialog.h"

#include "support-qt/QmlTesting.h"
#include "support/HangingShare.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QSettings>
#include <QTimer>
#include <QUrl>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

using Mvvm::Dialog;

namespace {

// The share hangs far longer than this (until the 5 s watchdog answers
// it); a dialog made on two busy cores with the race checker, which makes
// Qt's own file dialog slow to build, opens well within it.
const qint64 openBound = 3000;

class UnansweredFolders : public testing::Test {
protected:
    void SetUp() override
    {
        QSettings().remove(QStringLiteral("Dialog"));
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
        QSettings().remove(QStringLiteral("Dialog"));
    }

    // Whether `call` returned by itself; else the share answers after five
    // seconds, so that the test ends.
    bool returnsUnhelped(const std::function<void()>& call)
    {
        return kestrel::test::returns_unhelped(*share, std::chrono::seconds(5), call);
    }

    QString photos() const { return QString::fromStdString(dir.file("share/photos")); }

    kestrel::test::TempDir dir;
    std::unique_ptr<kestrel::test::hanging_share> share;
};

// Acts on the file dialog once shown: `act` gets it and how long after
// `clock` started it showed.
void whenFileDialogShows(const QElapsedTimer& clock, std::function<void(QFileDialog*, qint64)> act)
{
    whenModalShows([&clock, act](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_TRUE(dialog);
        act(dialog, clock.elapsed());
    });
}

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

QStringList qtsStoredBookmarks()
{
    return QSettings(QSettings::UserScope, QStringLiteral("QtProject")).value(qtsBookmarks).toStringList();
}

} // namespace

TEST_F(UnansweredFolders, TheDialogsOpenAtOnceWhereTheirFolderDoesNotAnswerAndThereOnceItDoes)
{
    if (!share->unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share->unavailable();
    QSettings().setValue(QStringLiteral("Dialog/openDialogDirectory"), photos());
    QSettings().setValue(QStringLiteral("Dialog/dirDialogDirectory"), photos());
    Dialog host;
    QElapsedTimer clock;
    QString startedIn;

    share->hang("lookup");
    for (const bool folders : {false, true}) {
        SCOPED_TRACE(folders ? "the output folder's Change" : "Add Photos");
        qint64 shownAfter = -1;
        whenFileDialogShows(clock, [&](QFileDialog* dialog, qint64 elapsed) {
            shownAfter = elapsed;
            startedIn = dialog->directory().absolutePath();
            dialog->reject();
        });
        clock.start();
        EXPECT_TRUE(returnsUnhelped([&] { folders ? void(host.showDirectoryDialog()) : void(host.showOpenDialog()); }))
            << "the dialog's start folder held the window";
        EXPECT_LT(shownAfter, openBound) << "ms before the dialog showed";
        EXPECT_EQ(startedIn.toStdString(), QDir(QDir::homePath()).absolutePath().toStdString());
    }

    // Answering, the share is where the dialog starts; a file chosen there
    // whose folder then hangs is remembered in its folder as chosen.
    share->answer();
    whenFileDialogShows(clock, [&](QFileDialog* dialog, qint64) {
        startedIn = dialog->directory().absolutePath();
        // The dialog's own looks at the folder end before it hangs.
        auto* model = dialog->findChild<QFileSystemModel*>();
        ASSERT_TRUE(model);
        ASSERT_TRUE(qmltest::waitFor([&] { return model->rowCount(model->index(startedIn)) == 1; }, 10000));
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("a.jpg"));
        static_cast<QDialog*>(dialog)->accept();
        share->hang("lookup");
    });
    clock.start();
    QStringList chosen;
    EXPECT_TRUE(returnsUnhelped([&] { chosen = host.showOpenDialog(); })) << "the chosen folder held the window";
    EXPECT_LT(clock.elapsed(), openBound) << "ms before the dialog returned";
    EXPECT_EQ(startedIn.toStdString(), photos().toStdString());
    EXPECT_EQ(chosen, QStringList{photos() + "/a.jpg"});
    EXPECT_EQ(QSettings().value(QStringLiteral("Dialog/openDialogDirectory")).toString(), photos());
}

// Qt's own file dialog remembers the folder it last showed, in its settings
// (from a run before) and in the process (a photo added from the share
// earlier), and its bookmarks, and would look at them as it is built: with
// that folder and a bookmark on the share that hangs, each dialog opens at
// once where the program says and is cancelled, the window's thread turning
// all along, and the bookmark is kept for when the share answers.
TEST_F(UnansweredFolders, QtsOwnRememberedFolderOnTheShareIsNeverLookedAt)
{
    if (!share->unavailable().empty())
        GTEST_SKIP() << "no share that hangs can be made here: " << share->unavailable();
    const QString local = QString::fromStdString(dir.file("local"));
    ASSERT_TRUE(QDir().mkpath(local));
    Dialog host;
    QElapsedTimer clock;
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
            QString startedIn;
            whenFileDialogShows(clock, [&](QFileDialog* dialog, qint64) {
                startedIn = dialog->directory().absolutePath();
                dialog->reject();
            });
            clock.start();
            qint64 stall = -1;
            EXPECT_TRUE(returnsUnhelped([&] { stall = longestStall(show); })) << "the dialog held the window";
            EXPECT_LT(stall, openBound) << "ms the window's thread stood still";
            EXPECT_EQ(startedIn.toStdString(), local.toStdString());
            EXPECT_TRUE(qtsStoredBookmarks().contains(QUrl::fromLocalFile(photos()).toString()))
                << qtsStoredBookmarks().join(' ').toStdString();
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

    SCOPED_TRACE("a photo was added from the share in this process");
    share->answer();
    whenFileDialogShows(clock, [&](QFileDialog* dialog, qint64) {
        EXPECT_TRUE(dialog->sidebarUrls().contains(QUrl::fromLocalFile(photos()))) << "the bookmark was not put back";
        auto* model = dialog->findChild<QFileSystemModel*>();
        ASSERT_TRUE(model);
        ASSERT_TRUE(qmltest::waitFor([&] { return model->rowCount(model->index(photos())) == 1; }, 10000));
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("a.jpg"));
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(host.showOpenDialog(true, QString(), photos()), QStringList{photos() + "/a.jpg"});
    setQtsRememberedFolder(photos());
    openEachWhileTheShareHangs();
}
