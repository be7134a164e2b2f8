// The threads the user's data is written on: the storyboard's and the
// settings' write back into the user's files.

#include "ViewModelTesting.h"

#include "viewmodel/SettingsMirror.h"
#include "viewmodel/StoreThread.h"
#include "viewmodel/StoresInFlight.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <chrono>
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
    QString user() const { return folder.filePath("user/Orvik/Lumivista.conf"); }
    QString copy() const { return folder.filePath("copy/Lumivista.conf"); }
    QSettings copied() const { return QSettings(copy(), QSettings::IniFormat); }
    QString stored(const QString& key) const { return QSettings(user(), QSettings::IniFormat).value(key).toString(); }

    // What the mirror reported, a line each: the file, and why it failed.
    QStringList reports() const
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return reported;
    }

    std::unique_ptr<SettingsMirror> mirror()
    {
        return std::make_unique<SettingsMirror>(
            QList<SettingsMirror::File>{{user(), copy()}}, [this](const QString& file, const QString& cause) {
                const std::lock_guard<std::mutex> lock(mutex);
                reported << file + (cause.isEmpty() ? QString() : ": " + cause);
            });
    }

    QTemporaryDir folder;
    mutable std::mutex mutex;
    QStringList reported;
};

} // namespace

// The run's changes go into the user's file, and only they: what another
// program wrote there meanwhile stays, and a copy unchanged writes nothing.
TEST_F(SettingsMirrorThreadsTest, TheRunsChangesReachTheUsersFileAndOnlyThey)
{
    QDir().mkpath(QFileInfo(user()).path());
    {
        QSettings held(user(), QSettings::IniFormat);
        held.setValue("kept", "as it was");
        held.setValue("gone", "soon");
    }
    QDir().mkpath(QFileInfo(copy()).path());
    QFile::copy(user(), copy());
    auto mirror = this->mirror();
    mirror->writeBack(true);
    ASSERT_TRUE(viewmodeltest::storesWritten());
    EXPECT_EQ(QStringList(), reports()) << "nothing changed, nothing written";

    copied().setValue("Settings/slideshowName", "Summer");
    copied().remove("gone");
    QSettings(user(), QSettings::IniFormat).setValue("socialVia", "another program");
    mirror->writeBack(false);
    ASSERT_TRUE(viewmodeltest::storesWritten());
    EXPECT_EQ(QStringList{user()}, reports());
    EXPECT_EQ("Summer", stored("Settings/slideshowName"));
    EXPECT_EQ("as it was", stored("kept"));
    EXPECT_EQ("another program", stored("socialVia"));
    EXPECT_FALSE(QSettings(user(), QSettings::IniFormat).contains("gone"));

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
