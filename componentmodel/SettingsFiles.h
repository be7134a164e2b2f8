#pragma once
// The user's settings files (Qt's settings, INI format) worked on as
// copies in a folder of the process's own, and what the process changed
// in a copy written back into the user's file: the copy-and-merge the
// program's settings and the file dialog's memory of Qt's share.
//
// A change is a key set to a new value, or a key removed that the caller
// names: a key a copy lacks is never read as removed, since a copy may go
// or be cut short (a cleaner of its folder, a full disk) where the user's
// file must lose nothing. A file is written as SettingsRewrite.h writes
// one: read again under its lock, the changes put in, the whole checked
// and renamed over it, so that what another program wrote there meanwhile
// stays and a disk that takes only part of it costs nothing.
//
// Any thread (Qt's settings serialise their files' access); each call
// waits for the disk of the file it names. Throws nothing.

#include "componentmodel/SettingsRewrite.h"

#include <QMap>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace ComponentModel {

using SettingsValues = QMap<QString, QVariant>;

struct SettingsChanges {
    SettingsValues set;
    QStringList removed;
    bool isEmpty() const { return set.isEmpty() && removed.isEmpty(); }
};

// Every key of the settings file and its value, as this process's
// settings of that file hold them (the file read when it changed, and
// what they hold unwritten written first); Qt's word on that in `status`.
SettingsValues settingsValues(const QString& file, QSettings::Status* status = nullptr);

// What `now` sets anew over `before`: the keys it adds or changes.
SettingsChanges settingsChanges(const SettingsValues& before, const SettingsValues& now);

// Puts `changes` into a settings QSettings holds.
void applySettingsChanges(QSettings& settings, const SettingsChanges& changes);

// Writes `changes` into `file`.
SettingsWrite writeSettingsChanges(const QString& file, const SettingsChanges& changes);

// Makes the settings file at `file` hold `values` and nothing else.
SettingsWrite writeSettingsValues(const QString& file, const SettingsValues& values);

// Writes `content` to the file at `path` (its folder made first), whole
// or not at all, and reads it back; false when that failed.
bool writeSettingsFile(const QString& path, const QByteArray& content);
// Copies the user's settings file at `from` to `to` as it is, whole or
// not at all; false when that failed. Nothing stands at `from`: nothing
// to copy, true.
bool copySettingsFile(const QString& from, const QString& to);

// Whether `file` ends as Qt's settings end a file they wrote whole, with a
// line's end: a write cut short by a full disk (which Qt may rename over
// the old file, a short one) ends elsewhere, or holds nothing.
bool endsWhole(const QString& file);
// Whether the settings file at `file` can be taken as a whole one: it
// ends whole and Qt reads it without fault.
bool readsWhole(const QString& file);

// Every settings file of the process's user (QSettings() and those of the
// user's scope) is read and written in `folder` from now on.
void useSettingsFolder(const QString& folder);

} // namespace ComponentModel
