#pragma once
// A file of the user's written anew, whole or not at all: the new content
// goes under a temporary name beside it ("<name>.XXXXXX", QSaveFile) and
// is renamed over it only once the disk took all of it, and the file is
// then read back. Qt's own commit renames a new file over the old one even
// where the disk took only part of it (a full disk: its flush failed), so
// the flush is checked first.
//
// Any thread; waits for the disk of the file. Throws nothing.

#include <QByteArray>
#include <QString>

namespace ComponentModel {

// Writes `content` to the file at `path` (its folder must stand): 0, or
// the errno of the step that failed (ENOSPC where the disk holds other
// bytes than were written, EIO where the system said nothing).
int writeWholeFile(const QString& path, const QByteArray& content);

} // namespace ComponentModel
