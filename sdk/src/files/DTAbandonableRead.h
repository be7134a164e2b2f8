#pragma once
// Reading files that may never answer (a network share that hangs) so that
// whoever waits for them can leave: every open and read made within a
// read_interruption_scope (files/DTReadInterruption.h) gives up with
// read_interrupted once its interruption is switched on, a wait under way
// included (within a tenth of a second: a read that answers within a
// twentieth goes on).
//
// An abandonable_file made within a scope never waits on the caller's
// thread for a disk, a network or another program. A file of this
// machine's disk whose path the system knows already, and which no other
// program holds a lease on, is opened at once (open_known_local_file);
// anything else is opened (as open_regular_file opens: located first,
// regular files only, never waiting in open() but for a lease to be let
// go) by a call on a thread of a read_threads set (files/DTAbandonableCall.h),
// with its first bytes. Reads take the bytes the system has at hand on the
// caller's thread (where the system can tell: see no_wait_calls in
// files/DTRegularFile.h); the rest is read by a call, ahead in large pieces,
// into bytes the call owns, and so is what such a read says ends before
// the length the file has. So a photo on a local disk costs what a direct
// read costs, and one elsewhere about one hand-over between threads. The
// end of a file, once met, is remembered until a seek: no read past it
// asks anything again.
//
// A caller that gives up leaves its call behind: the call goes on, and its
// bytes come first to the file's next read, which waits for them; when the
// file goes first, the call closes the descriptor if it ever returns, and
// touches nothing but the state it shares with the file. Such a call keeps
// one of the set's few places for calls left waiting on the file system
// it asks (files/DTFileSystem.h): the opening follows the path one name at a
// time and tells each file system it asks, so a link on this machine's
// disk into a share that hangs counts on the share. While all of a file
// system's places are taken, whatever needs a new call on it (a step of an
// opening, a read of bytes not at hand) and the taking over of a
// descriptor of it are refused at once as a file that does not answer.
// Files on other file systems are opened and read as ever: a share that
// hangs costs this machine's disk nothing. When no thread can be started
// a call runs on the caller's thread, without a way out; made outside any
// scope, the file is opened and read on the caller's thread. A wait that
// lasts is listed (files/DTLongWaits.h) with the file and why.
//
// A file opened on one thread and read later on others (the music: opened
// by its loader, read by the producer and the preview) watches instead the
// scope in force on the thread of each call (watched_interruption::caller),
// its opening included: it always opens and reads as above, and a call
// made outside any scope waits as long as it takes.
//
// Threads: an abandonable_file is used by one thread at a time.

#include "base/DTErrors.h"
#include "files/DTAbandonableCall.h"
#include "files/DTReadInterruption.h"
#include "files/DTReadThreads.h"

#include <boost/noncopyable.hpp>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kestrel {

// Whose interruption the waits of a file watch.
enum class watched_interruption {
    opener, // the scope in force where the file is made
    caller, // the scope in force on the thread of each call, at that call
};

class abandonable_file : private boost::noncopyable {
public:
    // Opens the regular file at the path. Throws errors::failure with the
    // reason and its errno when there is none to read ("not found", "not a
    // regular file: a named pipe", ...) or when a step of its opening would
    // ask a file system for which `threads` is full (refusal_failure(file_refusal::earlier_calls_wait),
    // EBUSY), read_interrupted when given up.
    explicit abandonable_file(const std::string& path, read_threads threads = read_threads::process());
    // The same, watching the interruption `watched` says, from the opening
    // on. Any refusal carries the errno (errinfo_errno) it came with.
    abandonable_file(const std::string& path, watched_interruption watched,
                     read_threads threads = read_threads::process());
    // Takes over an open descriptor (a pipe, say), read as above, and
    // refused as above when `threads` is full for its file system; closes
    // it when it throws.
    explicit abandonable_file(int descriptor, watched_interruption watched = watched_interruption::opener,
                              read_threads threads = read_threads::process());
    // Closes the file, or leaves that to the call under way; never waits
    // for a file system that may hang (see close_left_to_itself).
    ~abandonable_file();

    // Up to `size` bytes from where the last read ended; 0 at the end, and
    // from then on until a seek. Throws read_interrupted when given up (at
    // once when the interruption is already on), errors::failure with the
    // system's reason (and errinfo_errno) when the file cannot be read, or
    // refusal_failure(file_refusal::earlier_calls_wait) when it needs a call and `threads` is full
    // for the file's file system.
    std::size_t read(uint8_t* buffer, std::size_t size);
    // Moves to `offset` from the start, the current position or the end
    // (SEEK_SET, SEEK_CUR, SEEK_END; the end as it was at the opening) once
    // a read given up has answered, dropping what it read; returns the new
    // position. Throws as read does; a position before the start, or a
    // file that cannot move (a pipe), is errors::failure with errinfo_errno.
    long long seek(long long offset, int whence);
    // The length in bytes when it was opened; -1 for what is no regular file.
    long long size() const { return size_; }

private:
    struct worker;

    // Makes the state shared with the calls on threads: within a scope,
    // or always for `caller`; false when the file is read on the caller's
    // thread alone.
    bool start_worker(int descriptor, const std::string& file, read_threads& threads);
    // Refuses a new call at once while the places for calls left waiting
    // are all taken.
    void refuse_when_full() const;
    // The interruption this call watches; null for none.
    read_interruption_ptr watched() const;
    // Waits for the answer of the read asked (maybe by a call given up)
    // and keeps its bytes to be taken; `keep` false drops them and a
    // failure of that read.
    void collect_answer(std::unique_lock<std::mutex>& lock, const read_interruption* interruption, bool keep);
    std::size_t take_read_ahead(uint8_t* buffer, std::size_t size);

    std::shared_ptr<worker> worker_; // null when read on the caller's thread alone
    watched_interruption watched_;
    read_interruption_ptr interruption_; // the opener's
    int fd_ = -1;                        // read on the caller's thread alone
    // The worker's descriptor, which the caller may read the bytes at hand
    // from (never waiting) while no call is under way; -1 where the file
    // system cannot tell what is at hand.
    int at_hand_fd_ = -1;
    long long size_ = 0;
    long long position_ = 0; // of the next byte the caller gets
    bool at_end_ = false;    // the end was met there: reads give 0 until a seek
    // Read by a call beyond what the caller has taken (read ahead, or by a
    // read given up).
    std::vector<uint8_t> read_ahead_; // a buffer: bytes up to read_ahead_end_
    std::size_t read_ahead_end_ = 0;
    std::size_t read_ahead_taken_ = 0;
};

} // namespace kestrel
