#pragma once
// Helpers around the program's files: unique names for the storyboard file
// and for output videos (never an existing file) and the cleaning of a typed
// name into a file name. Paths are Qt text; relative directories are taken
// from the current directory. None keeps state or reports errors.
// uniqueFilePath looks at the folder on the calling thread.

#include <QString>

namespace FileHelpers {

// A new random UUID without braces (36 characters) followed by suffix.
QString createUniqueId(const QString& suffix);
// Absolute path, beside path, of path's complete base name + suffix.
QString siblingFilePath(const QString& path, const QString& suffix);
// ":", "*", "/", "\", "|", "'", '"', "<", ">" become blanks; "?" goes.
QString sanitizeFileName(const QString& name);
QString filePathInDirectory(const QString& directory, const QString& name, const QString& extension);
// The first of name + extension, name (2) + extension, ... name (9999) +
// extension (name cleaned) where nothing stands, not even a link to
// nothing; empty when all are taken.
QString uniqueFilePath(const QString& directory, const QString& name, const QString& extension);
// The number-th of those names, without its folder (number 1 the plain
// one); empty past the last.
QString numberedFileName(const QString& name, int number, const QString& extension);
// Whether `candidate` is `stem` and six letters or digits, as the system
// and Qt make the names of temporary files and folders ("XXXXXX").
bool isTemporaryName(const QString& candidate, const QString& stem);

} // namespace FileHelpers
