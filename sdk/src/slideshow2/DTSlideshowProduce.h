#pragma once
// The producer: turns a slideshow into a finished video file on a worker
// thread of its own, with pause, resume, stop and progress, and ends with
// one result code.
//
// The owner (one thread, in the application the GUI thread) makes it with
// slideshow_produce_creator::create, starts it once with produce() and may
// then pause, resume and stop it. Both callbacks run on the worker thread
// and must return promptly, never block on the owner's thread and never call
// stop: progress with the percentage done (0 to 100) and a copy of the
// latest preview picture (possibly empty), finished exactly once, with the
// result, as the worker's last act. The output file is complete (trailer
// written) when finished reports `done`. Releasing the last handle of a
// producer whose worker still runs stops it and waits for the worker.
// A photo that cannot be read when its slide is drawn (gone, emptied,
// replaced) does not stop the production: its slide is black, and
// unreadable_photos names it once finished has been called; so does a
// photo the slideshow holds as unanswered (slideshow::set_unanswered_photos),
// never read, with "does not answer". A show of
// which not one photo can be read is no video: the production ends with
// no_photo_readable, at once when no slide's photo opens at its start,
// else once the whole show was drawn without one, and unreadable_photos
// names them.

#include "base/DTBase.h"
#include "media/DTMediaSettings.h"
#include "media/DTVideoData.h"
#include "slideshow2/DTSlideshowTypes.h"
#include "slideshow2/DTUnreadablePhotos.h"
#include "sources/DTAVSource.h"

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include <string>
#include <vector>

namespace kestrel {
namespace slideshow2 {

class slideshow_produce : public facade<slideshow_produce> {
public:
    enum Result {
        done = 0,                 // the whole show is in the file
        cancelled = 1,            // stop was asked for
        invalid_preset = 2,       // "produce-preset" names no preset
        audio_encoder_failed = 3,
        video_encoder_failed = 4,
        create_file_failed = 5,   // the output file cannot be created
        muxer_failed = 6,         // writing the container failed (a full disk, say)
        unexpected_error = 7,     // anything else
        no_photo_readable = 8     // not one photo of the show could be read
    };

    typedef boost::function<void(double percent, video_data_ptr preview)> progress_callback;
    typedef boost::function<void(Result result)> finished_callback;

    class Impl : public impl_base {
    public:
        ~Impl() override;
        virtual void start(const progress_callback& progress, const finished_callback& finished) = 0;
        virtual void pause() = 0;
        virtual void resume() = 0;
        virtual void stop() = 0;
        virtual std::vector<unreadable_photo> unreadable_photos() const { return {}; }
    };

    // Starts the worker and returns at once; empty callbacks are not called.
    // Once per producer: a second call throws errors::invalid_operation.
    // boost::thread_resource_error when no thread can be started.
    void produce(const progress_callback& progress, const finished_callback& finished) {
        impl()->start(progress, finished);
    }
    // Takes effect before the next picture; pausing twice or resuming a
    // running producer changes nothing.
    void pause() { impl()->pause(); }
    void resume() { impl()->resume(); }
    // Asks the worker to end with `cancelled` and returns when it has ended
    // (at once when none runs); a photo read it waits for meanwhile is given
    // up (slideshow::interrupt_reads), so a file that does not answer never
    // holds a stop. The worker ends after the picture it is reading, which
    // it drops with what the encoders still hold: a stopped production's
    // file ends where the encoders had got to (an owner throws it away),
    // as far as its disk answers within the stop's deadline, counted from
    // this call (files/DTStopDeadline.h).
    // Asked before produce, the request waits for the production, which
    // then ends after its first picture.
    void stop() { impl()->stop(); }
    // From the call of finished on: the photos this production needed and
    // could not read, each once with why, in the order met (their slides
    // are black in the video). Empty before, and for a show of no photos.
    std::vector<unreadable_photo> unreadable_photos() const { return impl()->unreadable_photos(); }

protected:
    explicit slideshow_produce(Impl* impl) : facade(impl) {}
};

typedef boost::shared_ptr<slideshow_produce> slideshow_produce_ptr;

// Switches a slideshow's reading ahead on (true) or off (false).
typedef boost::function<void(bool)> buffering_switch;

class slideshow_produce_creator {
public:
    // A producer of the slideshow into the file at `output_path` (UTF-8):
    // the form below with the slideshow's own sources and its set_buffered.
    // An empty slideshow is no failure here either: the producer reports
    // unexpected_error once started.
    static slideshow_produce_ptr create(const slideshow_ptr& slideshow,
                                        const std::string& output_path,
                                        media_settings_ptr settings);
    // A producer of the show that `source` plays (the slideshow's pair of
    // sources) into the file at `output_path` (UTF-8), by the preset that
    // the settings' "produce-preset" names ("default" when it is missing or
    // empty). The settings are copied, never changed. The preset's frame
    // size and rate are applied to the source, which keeps them. The
    // slideshow is only kept alive while the producer lives; set_buffered
    // (may be empty) is switched on for the production and off after it.
    // A pipeline that cannot be built throws nothing here: the producer
    // reports the failure's code through finished once it is started.
    static slideshow_produce_ptr create(const av_source_ptr& source, const slideshow_ptr& slideshow,
                                        const buffering_switch& set_buffered,
                                        const std::string& output_path,
                                        media_settings_ptr settings);
};

} // namespace slideshow2
} // namespace kestrel
