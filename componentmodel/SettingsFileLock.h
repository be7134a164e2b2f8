#pragma once
// The lock a settings file is written under: "<file>.lock", the one Qt's
// settings of every program take while they write the file (QLockFile), so
// that no two writers read, merge and replace it at once. A lock no live
// process holds never stops a write: one whose owner has gone (the lock
// names it), and one left empty or unreadable (its owner ended between
// making it and naming itself, as a process ended while a share held the
// make) that no process holds open. A lock a live process keeps past the
// patience given is a failure the caller tells: the write is not made.
//
// Any thread; waits for the disk of the file. Throws nothing.

#include <QLockFile>
#include <QString>

#include <chrono>

namespace ComponentModel {

class SettingsFileLock {
public:
    // Takes the lock of the settings file at `file`, waiting at most
    // `patience` for a live holder to let it go.
    explicit SettingsFileLock(const QString& file,
                              std::chrono::milliseconds patience = std::chrono::milliseconds(3000));
    SettingsFileLock(const SettingsFileLock&) = delete;
    SettingsFileLock& operator=(const SettingsFileLock&) = delete;

    bool taken() const { return error_ == 0; }
    // Why it was not taken: EAGAIN while a live process holds it, else the
    // failure of its making (0 when unknown); 0 once taken.
    int error() const { return error_; }

private:
    QLockFile lock_;
    int error_ = 0;
};

// Removes the lock file at `lockFile` (a settings file's, or Qt's of a
// draft of one) when no live process holds it; whether it is gone.
bool removeAbandonedLock(const QString& lockFile);

} // namespace ComponentModel
