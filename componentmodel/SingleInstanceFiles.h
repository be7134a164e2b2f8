#pragma once
// The files that mark a single instance and carry a later start's words to
// it (SingleInstanceChannel), in folders every user of the machine shares:
// the lock file in the temporary folder, the hand-off segment in the
// system's shared memory. Each is named for its user (the key and the
// user's number) and trusted only where it is the user's own: one that
// another user made under its name, one that others may write (the
// segment: read or write), or something else in its place (a link, a
// FIFO) is never taken as an instance nor written to, whatever it holds.
// Each is judged by the very descriptor then used (fstat), so that
// nothing can be put in its place between the look and the use.
// Any thread; one object by one thread at a time.

#include <QByteArray>
#include <QString>

#include <memory>

namespace ComponentModel {

struct SingleInstanceNames {
    QString lockFile;   // <temporary folder>/<key>-<user>.instance.lock
    QByteArray segment; // /<key>-<user>-<the temporary folder's name, hashed>
};

// The names of `key`'s instance for the user numbered `user` whose
// temporary folder is `folder` (QDir::tempPath()): the same for every
// start of that user with that folder.
SingleInstanceNames singleInstanceNames(const QString& key, unsigned user, const QString& folder);

// The first instance's lock: a lock on the lock file (flock) that the
// system lets go as the process ends, however it ends; the file stays.
class InstanceLock {
public:
    enum class State {
        Taken,        // this process holds it
        Held,         // a live process of the user holds it
        NotTheUsers,  // another user's, open to others' writes, or no file
        Unavailable   // no file can be made there
    };

    explicit InstanceLock(const QString& path);
    // Lets go, removing the file first if it is still the one taken.
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    State state() const { return state_; }
    QString path() const { return path_; }

private:
    QString path_;
    int fd_ = -1; // while taken
    State state_ = State::Unavailable;
};

// The hand-off segment: a POSIX shared-memory object of the user's own,
// mode 0600. Each copy in or out is whole: it holds a lock on the object
// for its copy (given up after a moment, as by a process of the user's
// that was stopped holding it). The maker removes the name as it goes.
class HandOffSegment {
public:
    // The first instance's: made new, or (`takeLeftover`, the lock's
    // holder) one the user's ended instance left behind. One left open to
    // others is removed and made again. Nothing where another user's
    // stands.
    static std::unique_ptr<HandOffSegment> make(const QByteArray& name, int size, bool takeLeftover);
    // A later start's: the first instance's, when it is the user's own,
    // private and whole. Nothing otherwise; `foreign` tells whether what
    // stands there is another user's or open to others (a look later
    // would find the same).
    static std::unique_ptr<HandOffSegment> open(const QByteArray& name, int size, bool* foreign);
    ~HandOffSegment();
    HandOffSegment(const HandOffSegment&) = delete;
    HandOffSegment& operator=(const HandOffSegment&) = delete;

    int size() const { return size_; }
    // The whole segment.
    QByteArray read() const;
    // From the segment's start, cut at its size.
    void write(const QByteArray& bytes);

private:
    HandOffSegment(const QByteArray& name, int fd, char* data, int size, bool made);
    // The segment open at `fd` mapped whole where `usable` is that
    // descriptor (-1: not to be used); else nothing, `fd` closed.
    static std::unique_ptr<HandOffSegment> mapped(const QByteArray& name, int usable, int fd, int size, bool made);
    class CopyLock;

    QByteArray name_;
    int fd_;
    char* data_;
    int size_;
    bool made_;
};

} // namespace ComponentModel
