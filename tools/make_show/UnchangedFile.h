#pragma once
// A file the video is made from, watched for changes in place while it is
// read: cut short, grown or written over (its size or the time it was last written
// differ from when it was opened). It is held open from the start, so that
// what is watched is the file that was opened then: a file moved away, or
// another put at its name, is not a change of it. Any thread.

#include <sys/stat.h>

#include <string>

namespace make_show {

class unchanged_file {
public:
    // A file that cannot be opened is never reported changed: opening it
    // for the video fails on its own.
    explicit unchanged_file(const std::string& path);
    ~unchanged_file();
    unchanged_file(const unchanged_file&) = delete;
    unchanged_file& operator=(const unchanged_file&) = delete;

    bool changed() const;

private:
    int fd_ = -1;
    struct stat opened_ = {};
};

} // namespace make_show
