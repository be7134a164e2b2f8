#pragma once
// What the show maker does with the OUT it is given, decided before anything
// is made:
// - nothing there (in a folder that exists): a new file;
// - a regular file: replaced once the video is complete, its permissions
//   kept;
// - a symbolic link that leads, through any number of links, to a regular
//   file: that file is replaced, the link stays.
// Refused, and left as it is: a folder, a device, a pipe, a socket, a link
// to nothing or to one of those, a loop of links, the same file (by name,
// through a link or as a hard link) as the music or one of the photos, a
// path that names no file (empty, ending in "/"), the hidden name of an
// unfinished video, and a path whose folder does not exist or is no
// folder. Paths are the system's bytes, taken and shown as they
// are.

#include <string>
#include <vector>

namespace make_show {

struct output_target {
    std::string out;            // as given
    std::string folder;         // where the video is made and named
    std::string name;           // its name there
    bool replacing = false;     // a regular file stands there
    unsigned permissions = 0;   // the replaced file's
    // Why OUT may not be written, in plain words ("it is a named pipe", "it
    // is the same file as the music song.mp3"); empty when it may.
    std::string refusal;
};

// Looks without opening anything, as the library looks (files/DTPathFacts.h):
// within a read_interruption_scope a stop gives a look up, read_interrupted.
output_target examine_output(const std::string& out, const std::string& music,
                             const std::vector<std::string>& photos);

} // namespace make_show
