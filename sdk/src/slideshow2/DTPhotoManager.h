#pragma once
// Loads storyboard photos in the background: each request queues one task
// on a pool of worker threads that opens the JPEG as a photo, turned by its
// EXIF orientation and scaled so that its longer side is "max-side-length"
// pixels, and hands it to the request's callback on that worker.
//
// Settings (the manager's map, shared with its owner and read without a
// lock, so the owner must not change it while loads may run; a request's
// own map wins over it):
//   "hardware-concurrency"  workers, read once at construction; default the
//                           processor count; 0 starts none (requests wait
//                           forever and are dropped with the manager)
//   "max-side-length"       the loaded photo's longer side; default 180
//   "correct-orientation"   "1"/"+1" apply the EXIF orientation, "0"/"+0"/"-0"
//                           do not; empty or absent applies it
//   "open-patience"         seconds a load waits for its file (a share that
//                           hangs, another program's lease) before it gives
//                           up, "does not answer", freeing its worker; read
//                           once at construction; default 0: as long as it
//                           takes
//
// Results: opened (0) with the photo, or not_opened (1) with an empty photo
// when the request was cancelled before its task started, or the load
// failed in any way (a file that is missing, not a JPEG, truncated beyond
// use, a setting that does not convert, a side of 0); open_explained also
// gives the reason in plain words ("empty file", "not a JPEG file (it is a
// PNG)", "cancelled"; empty when opened); a failed load is logged with its
// path and whole cause. Every request that runs gets exactly one answer;
// the callback runs after pending_count has dropped and under no lock of
// the manager. An exception thrown by a callback is logged and goes no
// further.
//
// Threads: construct, open and destroy on the owner's thread; open and
// pending_count may also be called from callbacks. The destructor stops the
// queue (queued requests are dropped without a callback), gives up the
// reads of the loads under way (files/DTAbandonableRead.h: they answer not_opened,
// "reading was stopped", at once, also while a file does not answer) and
// joins every worker. Destroying the manager from
// its own callback cannot join that worker: it is refused with an error
// line, the other workers are joined, and the calling worker ends by itself
// as soon as its callback returns, keeping alive what it still uses.
//
// Throws at construction: boost::bad_lexical_cast for a
// "hardware-concurrency" or "open-patience" text that is no number,
// errors::invalid_argument for a negative or absurd worker count or
// patience (NaN among them); no worker is left behind.

#include "DTSlideshowTypes.h"
#include "base/DTBase.h"
#include "base/DTController.h"
#include "files/DTFileRefusal.h"
#include "media/DTMediaSettings.h"

#include <boost/function.hpp>

#include <memory>
#include <string>

namespace kestrel {
namespace slideshow2 {

class photo_manager : public facade<photo_manager> {
public:
    enum OpenResult { opened = 0, not_opened = 1 };
    typedef boost::function<void(OpenResult, photo_ptr)> open_callback;
    typedef boost::function<void(OpenResult, photo_ptr, const refused_file& reason)> explained_callback;

    class Impl;

    // The manager's settings may be empty: every default applies.
    photo_manager();
    explicit photo_manager(media_settings_ptr settings);

    static photo_manager_ptr create(media_settings_ptr settings);

    // Queues a load of the UTF-8 path; `settings` (may be empty) overrides
    // the manager's keys for this request. Returns the cancel handle
    // (kestrel::slideshow2::cancel_open): honoured until the task starts.
    ControllerPtr open(const std::string& path, media_settings_ptr settings, open_callback on_open);
    ControllerPtr open(const std::string& path, open_callback on_open);
    // The same with the reason of a failure.
    ControllerPtr open_explained(const std::string& path, media_settings_ptr settings,
                                 explained_callback on_open);
    // The same without a cancel handle.
    void open_no_handle(const std::string& path, media_settings_ptr settings, open_callback on_open);
    void open_no_handle(const std::string& path, open_callback on_open);

    // Requests queued or running.
    int pending_count() const;
};

} // namespace slideshow2
} // namespace kestrel
