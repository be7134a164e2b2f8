#pragma once
// Mounts for tests of what lies on which file system, among them a
// network share that hangs on demand (share/HangingShare.cpp, a server of
// its own): the files of a folder the test made, mounted writable at a
// mount point the test chose, whose requests of a kind are held
// unanswered from hang() until answer(). Mounting needs /dev/fuse and the
// right to mount (root): without them unavailable() says why, for the
// test to skip. Every wait here is bounded: its going answers what is
// held and unmounts, and a server that does not end within seconds is
// killed and its connection aborted, so that whatever still waits on the
// share gets ENOTCONN. Should the test die first, however it dies, the
// server answers everything, so that the test's threads can end, and goes
// with it.

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include <sys/types.h>

namespace kestrel {
namespace test {

// A mount made for a test (a tmpfs, a bind mount), detached when it goes;
// unavailable() says why it could not be made (not root, say). `options`:
// the file system's own ("size=64k,mode=0700").
class scoped_mount {
public:
    scoped_mount(const std::string& source, const std::string& target, const char* type, unsigned long flags,
                 const char* options = nullptr);
    ~scoped_mount();
    scoped_mount(const scoped_mount&) = delete;
    scoped_mount& operator=(const scoped_mount&) = delete;
    const std::string& unavailable() const { return unavailable_; }

private:
    std::string target_;
    std::string unavailable_;
};

class hanging_share {
public:
    hanging_share(const std::string& source, const std::string& mount_point);
    ~hanging_share();
    hanging_share(const hanging_share&) = delete;
    hanging_share& operator=(const hanging_share&) = delete;

    // Empty once mounted; else why not.
    const std::string& unavailable() const { return unavailable_; }
    // Held from now on: "lookup", "open" (files and folders), "read"
    // (files and folders), "readlink", "getattr" (and statfs), "setattr"
    // (truncate, times, mode), "create" (files, folders, links), "write",
    // "flush" (and fsync: a close waits for its flush), "rename", "unlink"
    // (and rmdir) or "all". A held create, rename or removal also holds
    // look-ups in its folder, in the kernel. Throws on a kind unknown.
    void hang(const std::string& kind);
    // Answers everything held; holds nothing more.
    void answer();
    // Whether `count` requests have been held since the last look, waiting
    // for them at most `bound`.
    bool held_within(std::chrono::milliseconds bound, int count = 1);
    // When hang() was last called; the clock's epoch before.
    std::chrono::steady_clock::time_point last_hang() const;
    // Whether hang() was called since the last answer().
    bool hanging() const { return hanging_; }

    // Any thread: a watchdog may make the share answer while the test
    // tells it something else.

private:
    // The next line the server writes ("held ..." counted), waiting at most
    // `bound`; empty when none came.
    std::string next_line(std::chrono::milliseconds bound);
    void tell(const std::string& command);
    // Whether the server ended within `bound`, what it says meanwhile
    // read and dropped.
    bool ended_within(std::chrono::milliseconds bound);

    std::string unavailable_;
    std::string mount_point_;
    std::string connection_; // the kernel's number of the share's connection
    pid_t server_ = -1;
    int server_ends_ = -1; // its standard input and output
    std::mutex talking_; // guards what follows
    std::string heard_;
    int held_ = 0; // requests held not yet looked at
    std::atomic<std::chrono::steady_clock::rep> last_hang_{0};
    std::atomic<bool> hanging_{false};
};

// Whether `call` returned by itself within `bound` of its start or of the
// share's last hang, whichever came later, time counted only while the
// share hangs (what a call does before it hangs may take long on busy
// cores); else `share` is made to answer, so that the test ends.
bool returns_unhelped(hanging_share& share, std::chrono::milliseconds bound, const std::function<void()>& call);

// While it lives, looks every 100 ms whether `held` (a thread the test
// watches has waited too long for the share) and then makes `share`
// answer, so that a test that finds the wait fails rather than hangs.
class answer_when_held {
public:
    answer_when_held(hanging_share& share, std::function<bool()> held);
    ~answer_when_held();
    answer_when_held(const answer_when_held&) = delete;
    answer_when_held& operator=(const answer_when_held&) = delete;

private:
    std::promise<void> finished_;
    std::thread watchdog_;
};

} // namespace test
} // namespace kestrel
