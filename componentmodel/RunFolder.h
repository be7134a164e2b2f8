#pragma once
// A folder of the running process's own for its working files (the copies
// of the user's settings it works on): only the user may open it, and the
// cleaners of the temporary folder do not reach it. It is made in
// $XDG_RUNTIME_DIR where that is a folder of the user's alone (mode 0700,
// as the XDG base directories require of it), else in the temporary
// folder; always anew with mkdtemp ("<name>-XXXXXX", mode 0700), never at a
// path someone else could have made first. Its sticky bit asks the runtime
// folder's clean-up to leave it.
//
// The process holds a lock on the folder (flock) until it removes it or
// ends, however it ends: a later start tells the folder of a live run from
// one a run left behind when it ended without its end.
//
// The process reaches the folder through handle(), a name of its own
// descriptor of it (/proc/self/fd/N): a folder removed from outside is
// never made again at its path by a write there (Qt's settings make the
// folders a file needs), and remake() puts a new folder behind the same
// handle.
//
// Any thread; the static calls never count this process's own folders.
// Throws nothing.

#include <QString>
#include <QStringList>

#include <mutex>

namespace ComponentModel {

class RunFolder {
public:
    // In `place` (one of places()), or the first place that takes one.
    explicit RunFolder(const QString& name, const QString& place = QString());
    // Closes the descriptor; the folder stays unless removed.
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // Whether a folder was made (no place may take one).
    bool isValid() const { return fd_ >= 0; }
    // Where the folder is, for messages; empty when none was made.
    QString path() const;
    QString handle() const { return handle_; }
    // Whether the folder is still there, at its path.
    bool intact() const;
    // Where the folder went, a new one behind the handle: whether one was
    // made now.
    bool mend();
    // How many folders were made behind the handle: one more with each
    // mend that made one.
    int made() const;
    // Removes the folder with all it holds (if it is still the one made):
    // the handle then leads to no folder, and writes there fail.
    void remove();

    // Where run folders are made, in the order they are tried: the runtime
    // folder where it is the user's alone, then the temporary folder.
    static QStringList places();
    // The folders of `name` that runs left behind as they ended without
    // their end (none holds its lock any more), the oldest first.
    static QStringList leftBehind(const QString& name);
    // Whether a live process other than this one holds a folder of `name`.
    static bool othersLive(const QString& name);
    // Removes `folder` with all it holds, links not followed.
    static void removeFolder(const QString& folder);
    // Sets the sticky bit of the file or folder at `path` where it is not
    // set: the runtime folder's clean-up passes such entries by, and a file
    // written anew (as Qt's settings write theirs) comes without it.
    static void keep(const QString& path);

private:
    const QString name_;
    int fd_ = -1;
    QString handle_;
    std::mutex mendMutex_;
    mutable std::mutex mutex_; // guards path_ and made_
    QString path_;
    int made_ = 1;
};

} // namespace ComponentModel
