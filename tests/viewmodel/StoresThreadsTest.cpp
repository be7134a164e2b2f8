// The threads the user's data is written on: the storyboard's and the
// settings' write back into the user's files.

#include "ViewModelTesting.h"

#include "viewmodel/SettingsMirror.h"
#include "viewmodel/StoreThread.h"
#include "viewmodel/StoresInFlight.h"

#include "componentmodel/RunFolder.h"
#include "componentmodel/SettingsFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <vector>

using namespace ViewModel;
using namespace std::chrono_literals;

// A store held on the disk keeps what is put meanwhile waiting, never the
// caller; of what waits only the newest is written, and the thread's end
// writes it. A store is in flight from its put to its end.
TEST(StoresThreadsTest, AStoreThreadWritesTheNewestOfWhatWaitedAndWaitsForItAtItsEnd)
{
    std::mutex mutex;
    std::vector<int> written;
    const auto write = [&](int which) {
        const std::lock_guard<std::mutex> lock(mutex);
        written.push_back(which);
    };
    std::promise<void> started, disk;
    {
        StoreThread thread;
        // The disk answers however the test ends, so that the thread can.
        const std::shared_ptr<void> answers(nullptr, [&](void*) { disk.set_value(); });
        thread.put([&, held = disk.get_future().share()] {
            started.set_value();
            held.wait();
            write(0);
        });
        ASSERT_EQ(std::future_status::ready, started.get_future().wait_for(10s));
        for (int which = 1; which <= 3; ++which)
            thread.put([&, which] { write(which); });
        EXPECT_TRUE(storeInFlight());
    }
    EXPECT_EQ((std::vector<int>{0, 3}), written);
    EXPECT_FALSE(storeInFlight());
}

namespace {

struct SettingsMirrorThreadsTest : ::testing::Test {
    ~SettingsMirrorThreadsTest() override { run.remove(); }

    QString user() const { return folder.filePath("user/Orvik/Lumivista.conf"); }
    QString copy() const { return run.handle() + "/Lumivista.conf"; }
    QSettings copied() const { return QSettings(copy(), QSettings::IniFormat); }
    QString stored(const QString& key) const { return QSettings(user(), QSettings::IniFormat).value(key).toString(); }

    // What the mirror reported, a line each: the file (or the copies'
    // folder), and why it failed.
    QStringList reports() const
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return reported;
    }

    // A run's mirror of the user's file as it is now.
    std::unique_ptr<SettingsMirror> mirror()
    {
        EXPECT_TRUE(ComponentModel::copySettingsFile(user(), copy()));
        return std::make_unique<SettingsMirror>(
            run, QList<SettingsMirror::File>{{user(), "Lumivista.conf", ComponentModel::settingsValues(copy())}},
            [this](SettingsMirror::Place place, const QString& file, const QString& cause) {
                const std::lock_guard<std::mutex> lock(mutex);
                reported << (place == SettingsMirror::Place::Copies ? "copies " : "") + file +
                                (cause.isEmpty() ? QString() : ": " + cause);
            });
    }

    QTemporaryDir folder;
    ComponentModel::RunFolder run{"StoresThreadsTest"};
    mutable std::mutex mutex;
    QStringList reported;
};

} // namespace

// The run's changes go into the user's file, and only they: what another
// program wrote there meanwhile stays, a copy unchanged writes nothing, and
// a key leaves the user's file only as the run removes it, never as its
// copy goes (its file or its folder removed from outside, or cut short,
// also in the middle of a value):
// the copy is made again from what the mirror holds, the run's values kept.
TEST_F(SettingsMirrorThreadsTest, TheRunsChangesReachTheUsersFileAndOnlyThey)
{
    ASSERT_TRUE(run.isValid());
    QDir().mkpath(QFileInfo(user()).path());
    {
        QSettings held(user(), QSettings::IniFormat);
        held.setValue("kept", "as it was");
        held.setValue("gone", "soon");
        held.setValue("Storyboard/slides", "/home/storyboard.xml");
    }
    auto mirror = this->mirror();
    mirror->writeBack(true);
    ASSERT_TRUE(viewmodeltest::storesWritten());
    EXPECT_EQ(QStringList(), reports()) << "nothing changed, nothing written";

    copied().setValue("Settings/slideshowName", "Summer");
    {
        QSettings settings(copy(), QSettings::IniFormat);
        mirror->remove(settings, "gone");
    }
    QSettings(user(), QSettings::IniFormat).setValue("socialVia", "another program");
    mirror->writeBack(false);
    ASSERT_TRUE(viewmodeltest::storesWritten());
    EXPECT_EQ(QStringList{user()}, reports());
    EXPECT_EQ("Summer", stored("Settings/slideshowName"));
    EXPECT_EQ("as it was", stored("kept"));
    EXPECT_EQ("another program", stored("socialVia"));
    EXPECT_FALSE(QSettings(user(), QSettings::IniFormat).contains("gone"));

    const QStringList kept = {"Settings/quality", "Settings/slideshowName", "Storyboard/slides", "kept", "socialVia"};
    const auto loseTheCopy = std::vector<std::pair<const char*, std::function<void()>>>{
        {"its file removed", [&] { QFile::remove(copy()); }},
        {"its folder removed", [&] { ComponentModel::RunFolder::removeFolder(run.path()); }},
        {"cut short", [&] { kestrel::test::write_file(run.path().toStdString() + "/Lumivista.conf", "[Story"); }},
        {"cut in a value",
         [&] {
             QFile whole(copy());
             ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
             const QByteArray text = whole.readAll();
             ASSERT_GE(text.indexOf("slides=/"), 0);
             kestrel::test::write_file(run.path().toStdString() + "/Lumivista.conf",
                                       text.left(text.indexOf("slides=/") + 10).toStdString());
         }},
    };
    for (const auto& [how, lose] : loseTheCopy) {
        SCOPED_TRACE(how);
        lose();
        mirror->writeBack(false);
        ASSERT_TRUE(viewmodeltest::storesWritten());
        copied().setValue("Settings/quality", how);
        mirror->writeBack(true);
        ASSERT_TRUE(viewmodeltest::storesWritten());
        QStringList keys = QSettings(user(), QSettings::IniFormat).allKeys();
        keys.sort();
        EXPECT_EQ(kept, keys);
        EXPECT_EQ(how, stored("Settings/quality"));
        EXPECT_EQ("/home/storyboard.xml", copied().value("Storyboard/slides").toString()) << "the copy was not made again";
        EXPECT_TRUE(ComponentModel::endsWhole(copy()));
        EXPECT_TRUE(run.intact());
    }

    copied().setValue("Settings/slideshowName", "Winter");
    mirror.reset();
    EXPECT_EQ("Winter", stored("Settings/slideshowName")) << "written at the end";
}

// A write that fails is reported with why, tried again when a store asks
// but not on a look for changes, and reported written once it is.
TEST_F(SettingsMirrorThreadsTest, AFailedWriteIsToldAndTriedAgainWhenAStoreAsks)
{
    auto mirror = this->mirror();
    const QString blocking = QFileInfo(QFileInfo(user()).path()).path();
    QDir().mkpath(QFileInfo(blocking).path());
    QFile(blocking).open(QIODevice::WriteOnly);
    copied().setValue("Settings/quality", 2);
    mirror->writeBack(false);
    ASSERT_TRUE(viewmodeltest::storesWritten());
    ASSERT_EQ(1, reports().size());
    EXPECT_EQ(user() + ": \"" + blocking + "\" is a file where a folder should be", reports()[0]);
    mirror->writeBack(false);
    ASSERT_TRUE(viewmodeltest::storesWritten());
    EXPECT_EQ(1, reports().size()) << "tried again without a store's asking";
    mirror->writeBack(true);
    ASSERT_TRUE(viewmodeltest::storesWritten());
    EXPECT_EQ(2, reports().size());
    QFile::remove(blocking);
    mirror->writeBack(true);
    ASSERT_TRUE(viewmodeltest::storesWritten());
    EXPECT_EQ(QStringList({reports()[0], reports()[0], user()}), reports());
    EXPECT_EQ("2", stored("Settings/quality"));
}
