#pragma once
// A settings file (Qt's settings, INI format) written anew, whole or not
// at all, and taken as written only once what is on the disk was read back
// whole. Qt's own write renames its new content over the file even where
// the disk took only part of it (its commit does not see a flush that
// failed), and Qt's settings answer a later read of a file from what they
// hold in memory, not from the disk. So the new content is made in a draft
// beside the file ("<file>.XXXXXX"): what the file holds, read whole under
// its lock (SettingsFileLock.h), changed by Qt's settings; the draft is
// then read back under a name Qt's settings have not seen, and replaces
// the file only where it holds every key it should and ends whole. The
// file is never read through Qt's settings at its own name, so what
// another program wrote there is never lost to a view of it held here.
// What a write cut short (a forced end) leaves beside the file, the next
// start removes (viewmodel/UnfinishedStores.h).
//
// Any thread; waits for the disk of the file. Throws nothing.

#include <QByteArray>
#include <QSettings>
#include <QString>

#include <functional>

namespace ComponentModel {

// What came of a write of a settings file: Qt's word on it, and the errno
// of the step that failed where one is known (0 otherwise; ENOSPC for a
// file the disk took only part of).
struct SettingsWrite {
    QSettings::Status status = QSettings::NoError;
    int error = 0;
    bool worked() const { return status == QSettings::NoError; }
};

// Writes the settings file at `file` anew (its folder made first): `change`
// makes the new content in a QSettings that holds what the file holds now,
// or the settings file `start` when given. A file whose content Qt finds
// damaged is written anew with what Qt could read of it, and the write
// said damaged (FormatError), as Qt's own write of it is.
SettingsWrite rewriteSettingsFile(const QString& file, const std::function<void(QSettings&)>& change,
                                  const QByteArray* start = nullptr);

} // namespace ComponentModel
