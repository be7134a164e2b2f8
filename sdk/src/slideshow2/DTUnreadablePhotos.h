#pragma once
// The photos a render needed and could not read: each photo's path (UTF-8)
// and why in plain words ("not found", "empty file", "not a JPEG file (it
// is a PNG)", "cut short", ...), as errors::reason_of words a refusal. The
// slide of such a photo is drawn black; this record is how the one who
// asked for the frames learns of it. A damaged photo that was drawn as far
// as it could be read is kept too, marked partly_shown, with why it shows
// only in part ("cut short: the lower part is grey").
//
// A photo is kept once, with the first reason met, however many frames or
// slides needed it; the order is the order they were first met.
//
// Threads: any thread may add and take; each call takes the record's own
// lock and nothing else, so it may be called under any other lock.

#include "files/DTFileRefusal.h"

#include <boost/thread/mutex.hpp>

#include <set>
#include <string>
#include <vector>

namespace kestrel {
namespace slideshow2 {

struct unreadable_photo {
    std::string path;
    std::string reason;
    bool partly_shown = false; // drawn as far as it could be read, not black
    // Refused so (`reason` holds its log words): the program says why.
    file_refusal refusal = file_refusal::none;
};

bool operator==(const unreadable_photo& left, const unreadable_photo& right);

class unreadable_photo_record {
public:
    // Keeps the photo unless its path is kept already.
    void add(const unreadable_photo& photo);
    // What was kept since the last take, which it forgets.
    std::vector<unreadable_photo> take();

private:
    boost::mutex mutex_;
    std::vector<unreadable_photo> photos_;
    std::set<std::string> paths_;
};

} // namespace slideshow2
} // namespace kestrel
