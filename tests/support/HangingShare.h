#pragma once
// Mounts for tests of what lies on which file system, among them a
// network share that hangs on demand (share/HangingShare.cpp, a server of
// its own): the files of a folder the test made, mounted read-only at a
// mount point the test chose, whose look-ups, openings or reads are held
// unanswered from hang() until answer(). Mounting needs /dev/fuse and the
// right to mount (root): without them unavailable() says why, for the
// test to skip. Its going answers what is held and unmounts; the server
// does both should the test die first.

#include <chrono>
#include <string>

#include <sys/types.h>

namespace kestrel {
namespace test {

// A mount made for a test (a tmpfs, a bind mount), detached when it goes;
// unavailable() says why it could not be made (not root, say).
class scoped_mount {
public:
    scoped_mount(const std::string& source, const std::string& target, const char* type, unsigned long flags);
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
    // "lookup", "open", "read", "readlink", "getattr" or "all": held from
    // now on.
    void hang(const std::string& kind);
    // Answers everything held; holds nothing more.
    void answer();
    // Whether a request has been held since the last look, waiting for one
    // at most `bound`.
    bool held_within(std::chrono::milliseconds bound);

private:
    // The next line the server writes ("held ..." counted), waiting at most
    // `bound`; empty when none came.
    std::string next_line(std::chrono::milliseconds bound);
    void tell(const std::string& command);

    std::string unavailable_;
    pid_t server_ = -1;
    int to_server_ = -1;
    int from_server_ = -1;
    std::string heard_;
    int held_ = 0; // requests held not yet looked at
};

} // namespace test
} // namespace kestrel
