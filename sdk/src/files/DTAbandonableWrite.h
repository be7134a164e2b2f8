#pragma once
// A file written where a stop reaches it: made within a
// read_interruption_scope (files/DTReadInterruption.h), its opening, writes,
// moves and close are calls on a thread of a read_threads set
// (files/DTCallHeld.h) that give up once that scope's interruption is switched
// on, whichever thread makes them later (the muxer's closing by the
// producer's owner, say). A video written to a share that hangs then never
// holds its producer, nor whoever stops it. Made outside any scope, they
// run on the caller's thread. A wait that lasts names the file as the
// system names it.
//
// Once a call has been given up the file takes no more: each throws
// read_interrupted, and its going leaves the close to the call under way
// (the file is thrown away by whoever stopped it). Failures are
// errors::failure with errinfo_errno. One thread at a time.

#include "files/DTCallHeld.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrel {

class abandonable_output {
public:
    // Opens the file for writing with open(2)'s `flags` (O_CLOEXEC and
    // O_NOCTTY added) and mode 0666 less the umask.
    abandonable_output(const std::string& path, int flags, read_threads threads = read_threads::process());
    // Closes the file without waiting for it (a call left to itself).
    ~abandonable_output() = default;

    // Writes up to `size` bytes (one write(2), retried when a signal cut
    // it short): how many were written.
    std::size_t write(const uint8_t* buffer, std::size_t size);
    // Reads up to `size` bytes (a file opened for reading too).
    std::size_t read(uint8_t* buffer, std::size_t size);
    // lseek(2).
    long long seek(long long offset, int whence);
    // The file's length now.
    long long size();
    // Closes the file and says whether all it held reached it (some file
    // systems tell a full disk only here); later calls throw.
    void close();

private:
    struct descriptor {
        int fd = -1;
        explicit descriptor(int fd) : fd(fd) {}
        ~descriptor();
        descriptor(const descriptor&) = delete;
        descriptor& operator=(const descriptor&) = delete;
    };

    call_held<descriptor> file_;
};

} // namespace kestrel
