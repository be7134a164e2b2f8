#pragma once
// The slideshow as an audio/video source: its video is the renderer's
// frames (video_source_from_image), read directly or, in buffered mode,
// through a read-ahead thread; its audio is the show's faded sound. Both
// share one timeline in milliseconds; seek moves both.
//
// Threads: the preview player and the producer read from their own
// threads. set_buffered switches the video without a lock, so callers
// switch only while nobody reads the video. In buffered mode each run of
// the read-ahead reads pictures of its own over the renderer; a seek (and
// set_buffered(false)) gives the run up without waiting for it, giving up
// the photo read it waits for, and starts a new one at the new position,
// which it renders itself: the caller never waits for a photo's file. A
// run given up is kept until it ends; the destructor makes the photo reads
// of those still running give up and joins them. The renderer core must
// outlive the source.

#include "DTVideoSourceFromImage.h"
#include "sources/DTAVSource.h"

#include <boost/shared_ptr.hpp>

#include <memory>
#include <vector>

namespace kestrel {

class video_source_buffered;

namespace slideshow2 {

class gil_slideshow_core;

class gil_slideshow_av_source_impl : public av_source::Impl {
public:
    explicit gil_slideshow_av_source_impl(gil_slideshow_core& core);
    ~gil_slideshow_av_source_impl() override;

    video_source* video() override { return &video_; }
    audio_source* audio() override { return audio_.get(); }
    // Logs "[gil_slideshow_av_source_impl] seek to <t>"; returns t.
    double seek(double t) override;
    // Buffered only: a new read-ahead run from t; the sound stays.
    bool move_pictures(double t) override;
    // An empty pointer logs a warning and changes nothing.
    void apply_settings(media_settings_ptr settings) override;

    // Turning it on twice starts one read-ahead thread.
    void set_buffered(bool buffered);
    bool buffered() const { return buffered_; }

private:
    // Pictures of their own over the renderer, read ahead on a thread.
    struct read_ahead_run {
        explicit read_ahead_run(gil_slideshow_core& core);
        ~read_ahead_run();
        std::unique_ptr<video_source_from_image> pictures;
        std::unique_ptr<video_source_buffered> ahead; // goes first, joining
    };

    // A new run from t, which the video then reads.
    void start_read_ahead(double t);
    // Gives the run up without waiting, giving up a photo's read it waits
    // for: a file that does not answer never holds the caller.
    void leave_read_ahead();

    bool buffered_ = false;
    gil_slideshow_core& core_;
    video_source_from_image direct_video_;
    video_source_proxy video_;
    std::unique_ptr<read_ahead_run> run_;
    std::vector<std::unique_ptr<read_ahead_run>> left_; // given up, maybe still running
    boost::shared_ptr<audio_source> audio_;
};

class gil_slideshow_av_source : public av_source {
public:
    explicit gil_slideshow_av_source(gil_slideshow_core* core);

    void set_buffered(bool buffered) { impl_->set_buffered(buffered); }

private:
    explicit gil_slideshow_av_source(gil_slideshow_av_source_impl* impl);

    gil_slideshow_av_source_impl* impl_; // owned by the av_source base
};

typedef boost::shared_ptr<gil_slideshow_av_source> gil_slideshow_av_source_ptr;

gil_slideshow_av_source_ptr create_gil_slideshow_av_source(gil_slideshow_core* core);

} // namespace slideshow2
} // namespace kestrel
