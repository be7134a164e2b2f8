#pragma once
// A slideshow video made as the application makes it, without its windows:
// the JPEGs of a folder on the slides of the renderer-backed slideshow
// (opened through the photo manager), one music file as its sound (looped
// when shorter than the show, faded out at its end), the application's
// default settings (slides of 6 s, transitions of 1.2 s, Ken Burns motion,
// 4:3 frames), then the producer for a preset. Used by kestrel_make_show
// and by the production benchmark.
//
// Throws std::runtime_error with a message for the user when the photos or
// the music cannot be had (the music's reason in plain words); production
// failures come back as result codes. The looks and openings watch the
// caller's read_interruption_scope (files/DTReadInterruption.h): switched on, they
// give up with read_interrupted.

#include "OutputTarget.h"

#include "files/DTStopDeadline.h"
#include "slideshow2/DTSlideshow.h"
#include "slideshow2/DTSlideshowProduce.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace make_show {

// The entries of the folder ending in .jpg or .jpeg (any case) that are
// no folders, sorted by name as the program takes a folder's photos
// (kestrel::name_order_less: digits by value, letters without regard to
// case); the folder's subfolders are not entered.
// Throws, naming the folder, when it does not exist, is a link to nothing,
// is no folder or cannot be read; read_interrupted for a stop.
std::vector<std::string> jpeg_files(const std::string& folder);

struct left_out_photo {
    std::string path;
    std::string reason; // in plain words: "empty file", "not a JPEG file (it is a PNG)"
};

struct opened_show {
    kestrel::slideshow2::slideshow_ptr show;
    // Photos that could not be opened, in their order; their slides were
    // taken out again.
    std::vector<left_out_photo> skipped;
};

// Throws "no music file at <path>: <what is there>" ("not found", "not a
// regular file: a named pipe") unless the path leads to a regular file.
// Looks without opening it: a pipe or a terminal is never opened.
void require_music_file(const std::string& music);

// The show of the photos (in this order) and the music. Throws when no
// photo opens or the music cannot be opened (require_music_file first);
// read_interrupted once the caller's interruption is switched on (looked
// at every 10 ms while the photos open), their reads given up. The show's
// photo cache loads while the show is drawn: releasing the show's last
// handle ends and joins those loads.
opened_show open_show(const std::vector<std::string>& photos, const std::string& music);

// Produces the show into `output` by the preset and waits for the end.
// `progress` (may be empty) runs on the producer's thread with the percent
// done; `stop_asked`, polled every 10 ms (a signal handler, which raises it,
// cannot wake a waiting thread), stops the production (which then ends
// cancelled). Without `read_ahead` the producer's own
// thread renders each picture before encoding it (for comparison).
// `unreadable` (may be null) receives the photos the production could not
// read, each once with why; their slides are black in the video.
// `stopped` (may be null) receives the deadline of the production's stop
// when one was made.
kestrel::slideshow2::slideshow_produce::Result
produce_show(const kestrel::slideshow2::slideshow_ptr& show, const std::string& preset,
             const std::string& output, const std::function<void(double percent)>& progress,
             const std::atomic<bool>& stop_asked, bool read_ahead = true,
             std::vector<kestrel::slideshow2::unreadable_photo>* unreadable = nullptr,
             std::optional<kestrel::stop_deadline>* stopped = nullptr);

struct file_outcome {
    kestrel::slideshow2::slideshow_produce::Result result;
    // Where the video is once made: OUT as given, or the file in its
    // folder where that folder is now, when it was moved meanwhile.
    std::string path;
    // Why the file could not be made, named or written, in plain words
    // naming the folder ("The disk of the folder "/media/usb" is full.");
    // empty when that is not known.
    std::string cause;
    // The complete video's path while its naming is asked.
    std::string naming;
    // Stopped while the complete video was being named: it may still take
    // its name once the disk answers, else it stays under its hidden name
    // (unfinished_path).
    bool naming_unanswered = false;
    // ... of which refused before it was asked (earlier requests to the
    // disk still wait): it never takes its name and stays hidden.
    bool naming_refused = false;
    std::string unfinished_path;
    // The unfinished file that could not be removed in time, or whose
    // creation the disk has not answered (left_unmade); empty when none is
    // left. A maker that has ended removes nothing more: the next making in
    // that folder does.
    std::string left_unfinished;
    bool left_unmade = false;
};

// Produces the show as produce_show does into the target, which a complete
// video takes (see OutputTarget.h) and nothing else: the video is made as
// an unfinished video in the target's folder, and a stop or a failure
// removes it, leaving a file already there as it was. Every step on the
// folder (the file's creation, its naming, its removal) is a call that the
// caller's read_interruption_scope gives up (files/DTAbandonableVideo.h); the
// removal is waited for within the stop's deadline (files/DTStopDeadline.h),
// and a file left then is named (left_unfinished). A target with a
// refusal is not made (create_file_failed), nor one whose stop was asked
// before it began (cancelled). `may_finish` (may be empty),
// asked once the video is complete, keeps it from OUT when it says no, as
// `stop_asked` does then (the result is cancelled). `unreadable` as for
// produce_show.
file_outcome produce_show_file(const kestrel::slideshow2::slideshow_ptr& show, const std::string& preset,
                               const output_target& target, const std::function<void(double percent)>& progress,
                               const std::atomic<bool>& stop_asked, const std::function<bool()>& may_finish,
                               std::vector<kestrel::slideshow2::unreadable_photo>* unreadable = nullptr);

// The result's meaning, as the application words it.
const char* result_text(int result);

} // namespace make_show
