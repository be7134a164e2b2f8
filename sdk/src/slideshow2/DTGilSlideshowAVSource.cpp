#include "DTGilSlideshowAVSource.h"

#include "DTGilSlideshowCache.h"
#include "DTGilSlideshowCore.h"
#include "base/DTErrors.h"
#include "base/DTLog.h"
#include "sources/DTVideoSourceBuffered.h"

#include <boost/make_shared.hpp>

namespace kestrel {
namespace slideshow2 {

gil_slideshow_av_source_impl::gil_slideshow_av_source_impl(gil_slideshow_core& core)
    : core_(core),
      direct_video_(core),
      audio_(boost::make_shared<audio_source_from_track>(&core.show_audio())) {
    video_.set_target(&direct_video_);
}

// The read-ahead thread reads the direct video: it is stopped first.
gil_slideshow_av_source_impl::~gil_slideshow_av_source_impl() {
    audio_.reset();
    video_.set_target(nullptr);
    if (buffered_video_)
        stop_read_ahead();
    buffered_video_.reset();
}

double gil_slideshow_av_source_impl::seek(double t) {
    log_line(logger::info()) << "[gil_slideshow_av_source_impl] seek to " << t << std::endl;
    core_.show_audio().seek(t);
    if (buffered_video_) {
        // The read-ahead thread renders the new position: the caller
        // never waits for a photo's file.
        stop_read_ahead();
        direct_video_.move_to(t);
        buffered_video_->start();
    } else {
        direct_video_.set_position(t);
    }
    return t;
}

void gil_slideshow_av_source_impl::stop_read_ahead() {
    using stopper = gil_slideshow_core::cache::reads_stopper;
    core_.photo_cache().set_reads_interrupted(true, stopper::preview);
    buffered_video_->stop();
    // A production's stop under way keeps its own switch on.
    core_.photo_cache().set_reads_interrupted(false, stopper::preview);
}

void gil_slideshow_av_source_impl::apply_settings(media_settings_ptr settings) {
    if (!settings) {
        log_line(logger::warning()) << "[gil_slideshow_av_source_impl] apply_settings (null)" << std::endl;
        return;
    }
    log_line(logger::info()) << "[gil_slideshow_av_source_impl] apply_settings : " << *settings << std::endl;
    core_.apply_settings(settings);
}

void gil_slideshow_av_source_impl::set_buffered(bool buffered) {
    if (buffered == buffered_)
        return;
    if (buffered) {
        const auto ahead = boost::make_shared<video_source_buffered>(&direct_video_);
        ahead->start();
        video_.set_target(ahead.get());
        buffered_video_ = ahead;
    } else {
        video_.set_target(&direct_video_);
        if (buffered_video_)
            stop_read_ahead();
        buffered_video_.reset();
    }
    buffered_ = buffered;
}

gil_slideshow_av_source::gil_slideshow_av_source(gil_slideshow_core* core)
    : gil_slideshow_av_source(new gil_slideshow_av_source_impl(*core)) {}

gil_slideshow_av_source::gil_slideshow_av_source(gil_slideshow_av_source_impl* impl)
    : av_source(impl), impl_(impl) {}

gil_slideshow_av_source_ptr create_gil_slideshow_av_source(gil_slideshow_core* core) {
    if (!core)
        KESTREL_THROW(errors::invalid_pointer());
    return boost::make_shared<gil_slideshow_av_source>(core);
}

} // namespace slideshow2
} // namespace kestrel
