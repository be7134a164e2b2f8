#pragma once
// A file the video is made from, watched for changes in place while it is
// read: cut short, grown or written over (its size or the time it was last written
// differ from when it was opened). It is held open from the start, so that
// what is watched is the file that was opened then: a file moved away, or
// another put at its name, is not a change of it. Any thread.
//
// It is looked at as the library looks (files/DTPathWalk.h, files/DTAbandonableCall.h):
// on this machine's disk at once, elsewhere (a share that may hang) by a
// call that the caller's read_interruption gives up.

#include "files/DTPathWalk.h"

#include <sys/stat.h>

#include <memory>
#include <string>

namespace make_show {

class unchanged_file {
public:
    // A file that cannot be opened is never reported changed: opening it
    // for the video fails on its own. Throws kestrel::read_interrupted when
    // a stop gives the look up.
    explicit unchanged_file(const std::string& path);
    unchanged_file(const unchanged_file&) = delete;
    unchanged_file& operator=(const unchanged_file&) = delete;

    // False too when the look is given up for a stop.
    bool changed() const;

private:
    const std::string path_; // named in a long wait
    // Shared with a look left waiting, which may outlive this object.
    std::shared_ptr<const kestrel::owned_descriptor> fd_;
    bool local_ = false;
    struct stat opened_ = {};
};

} // namespace make_show
