#pragma once
// The slideshow as an audio/video source: its video is the renderer's
// frames (video_source_from_image), read directly or, in buffered mode,
// through a read-ahead thread; its audio is the show's faded sound. Both
// share one timeline in milliseconds; seek moves both.
//
// Threads: the preview player and the producer read from their own
// threads. set_buffered switches the video without a lock, so callers
// switch only while nobody reads the video; a seek in buffered mode stops
// the read-ahead thread (giving up the photo read it waits for) and starts
// it again at the new position, which it renders itself: the caller never
// waits for a photo's file. The renderer core must outlive the source.

#include "DTVideoSourceFromImage.h"
#include "sources/DTAVSource.h"

#include <boost/shared_ptr.hpp>

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
    // An empty pointer logs a warning and changes nothing.
    void apply_settings(media_settings_ptr settings) override;

    // Turning it on twice starts one read-ahead thread.
    void set_buffered(bool buffered);
    bool buffered() const { return buffered_; }

private:
    // Stops the read-ahead thread, giving up a photo's read it waits for:
    // a file that does not answer never holds the stop.
    void stop_read_ahead();

    bool buffered_ = false;
    gil_slideshow_core& core_;
    video_source_from_image direct_video_;
    video_source_proxy video_;
    boost::shared_ptr<video_source_buffered> buffered_video_;
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
