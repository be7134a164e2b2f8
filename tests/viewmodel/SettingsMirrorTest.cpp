// What a run that ended without its end left of the user's settings, taken
// by the next start only where the user's file has not moved on since.

#include "viewmodel/SettingsMirror.h"

#include "componentmodel/SettingsFiles.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>

using namespace ViewModel;
using ComponentModel::SettingsChanges;
using ComponentModel::SettingsValues;
using LeftBehind = SettingsMirror::LeftBehind;

namespace {

QString set(const SettingsChanges& changes, const QString& key) { return changes.set.value(key).toString(); }

} // namespace

// Run A read music m0 and chose m1, which never reached the user's file
// (its share hung); a later run wrote m2 there since: A's m1 never comes
// back over it. Where the file still holds what A knew, A's change is
// taken, a later run's over an earlier's; a key A added is taken only
// where no one set it since; a key A removed goes only where the file
// still holds what A knew of it.
TEST(SettingsMirrorLeftBehind, ARunsChangeIsTakenOnlyWhereTheUsersFileStillHoldsWhatItKnew)
{
    const LeftBehind a{{{"Music/filePath", "m0"}, {"Storyboard/slides", "s0"}},
                       {{"Music/filePath", "m1"}, {"Storyboard/slides", "s0"}, {"Dialog/folder", "d1"}},
                       {}};
    EXPECT_TRUE(SettingsMirror::mergeLeftBehind({{"Music/filePath", "m2"}, {"Dialog/folder", "d2"}}, {a}).isEmpty());

    const SettingsChanges taken = SettingsMirror::mergeLeftBehind({{"Music/filePath", "m0"}}, {a});
    EXPECT_EQ("m1", set(taken, "Music/filePath"));
    EXPECT_EQ("d1", set(taken, "Dialog/folder"));
    EXPECT_EQ(2, taken.set.size());

    const LeftBehind later{{{"Music/filePath", "m0"}}, {{"Music/filePath", "m3"}}, {}};
    EXPECT_EQ("m3", set(SettingsMirror::mergeLeftBehind({{"Music/filePath", "m0"}}, {a, later}), "Music/filePath"));

    const LeftBehind removing{{{"Storyboard/slides", "s0"}}, {}, {"Storyboard/slides"}};
    EXPECT_EQ(QStringList{"Storyboard/slides"},
              SettingsMirror::mergeLeftBehind({{"Storyboard/slides", "s0"}}, {removing}).removed);
    EXPECT_TRUE(SettingsMirror::mergeLeftBehind({{"Storyboard/slides", "s9"}}, {removing}).isEmpty());
}

// A run's word on what the user's file held, cut short by a full disk,
// gives nothing: half of it would read as keys the file never held.
TEST(SettingsMirrorLeftBehind, ARecordCutShortGivesNothing)
{
    kestrel::test::TempDir root;
    const QString folder = QString::fromStdString(root.path()), name = "orvik/settings.conf";
    ASSERT_TRUE(ComponentModel::writeSettingsValues(folder + "/" + name, {{"Music/filePath", "m1"}}).worked());
    ASSERT_TRUE(QDir().mkpath(folder + "/stored/orvik"));
    kestrel::test::write_file((folder + "/stored/" + name).toStdString(), "[Music]\nfilePath=/home/us");
    EXPECT_FALSE(SettingsMirror::leftBehind(folder, name).has_value());
    kestrel::test::write_file((folder + "/stored/" + name).toStdString(), "[Music]\nfilePath=m0\n");
    const auto left = SettingsMirror::leftBehind(folder, name);
    ASSERT_TRUE(left.has_value());
    EXPECT_EQ("m1", set(SettingsMirror::mergeLeftBehind({{"Music/filePath", "m0"}}, {*left}), "Music/filePath"));
}
