// Settings files written whole or not at all: on a disk that takes only
// part of a write, beside a lock its owner left empty, and beside one a
// live process keeps.

#include "componentmodel/SettingsFileLock.h"
#include "componentmodel/SettingsFiles.h"

#include "support/HangingShare.h"
#include "support/TestFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QUuid>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

using namespace ComponentModel;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What the settings file at `path` holds on the disk: read under a name
// this process's settings never saw, which would answer from memory.
SettingsValues onDisk(const QString& path)
{
    const QString fresh = path + "~" + QUuid::createUuid().toString(QUuid::Id128);
    if (!QFile::copy(path, fresh))
        return {};
    const SettingsValues values = settingsValues(fresh);
    QFile::remove(fresh);
    return values;
}

// About 7 KiB of settings, as a user's file holds after a while.
SettingsValues aUsersSettings()
{
    SettingsValues values;
    for (int i = 0; i < 60; ++i)
        values.insert(QString("Group%1/key%2").arg(i % 6).arg(i), QString(100, QChar('a' + i % 26)));
    return values;
}

} // namespace

// A user's settings file on a small disk with a few pages free: each change
// either reaches the file with every key it held, or fails as the disk
// fills, said so, with the file as it was to the byte; nothing stays
// beside it either way.
TEST(SettingsFiles, AWriteTheDiskTakesOnlyPartOfLeavesTheFileAsItWas)
{
    kestrel::test::TempDir root;
    const QString small = QString::fromStdString(root.file("small"));
    ASSERT_TRUE(QDir().mkpath(small));
    const kestrel::test::scoped_mount disk("tmpfs", small.toStdString(), "tmpfs", 0, "size=64k");
    if (!disk.unavailable().empty())
        GTEST_SKIP() << disk.unavailable();
    const QString file = small + "/settings.conf", filler = small + "/filler";
    const SettingsValues held = aUsersSettings();
    ASSERT_TRUE(writeSettingsValues(file, held).worked());
    int failed = 0;
    for (int pages = 0; pages <= 8; ++pages) {
        SCOPED_TRACE(pages);
        ASSERT_TRUE(kestrel::test::leave_free(filler.toStdString(), pages));
        const QByteArray before = readAll(file);
        const QString music = QString("/music %1").arg(pages);
        const SettingsWrite written = writeSettingsChanges(file, {{{"Music/filePath", music}}, {}});
        if (written.worked()) {
            const SettingsValues now = onDisk(file);
            EXPECT_EQ(music, now.value("Music/filePath").toString());
            QStringList lost;
            for (auto value = held.cbegin(); value != held.cend(); ++value)
                if (now.value(value.key()) != value.value())
                    lost << value.key();
            EXPECT_EQ(QStringList(), lost);
        } else {
            ++failed;
            EXPECT_EQ(ENOSPC, written.error);
            EXPECT_EQ(before, readAll(file));
        }
        EXPECT_EQ(QStringList({"filler", "settings.conf"}), QDir(small).entryList(QDir::Files | QDir::Hidden));
        QFile::remove(filler);
    }
    EXPECT_GE(failed, 2) << "the disk took every write: the test no longer fills it";
    EXPECT_LE(failed, 7) << "no write took";
}

// A lock its owner left empty (it ended between making it and naming
// itself, as a process ended while a share held the make) stops no write;
// one a live process holds stops it for the patience given, said as held.
TEST(SettingsFiles, OnlyALockALiveProcessHoldsStopsAWrite)
{
    kestrel::test::TempDir root;
    const QString file = QString::fromStdString(root.file("settings.conf")), lock = file + ".lock";
    kestrel::test::write_file(lock.toStdString(), "");
    QFile left(lock);
    ASSERT_TRUE(left.open(QIODevice::ReadWrite) &&
                left.setFileTime(QDateTime::currentDateTime().addSecs(-5), QFileDevice::FileModificationTime));
    left.close();
    ASSERT_TRUE(writeSettingsChanges(file, {{{"key", "value"}}, {}}).worked());
    EXPECT_EQ("value", onDisk(file).value("key").toString());
    EXPECT_FALSE(QFile::exists(lock));

    QLockFile held(lock);
    ASSERT_TRUE(held.tryLock());
    const SettingsFileLock waited(file, std::chrono::milliseconds(300));
    EXPECT_FALSE(waited.taken());
    EXPECT_EQ(EAGAIN, waited.error());
    held.unlock();
    EXPECT_TRUE(SettingsFileLock(file).taken());
}
