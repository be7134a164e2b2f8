#include "DTGilSlideshowAVSource.h"

#include "DTGilSlideshowCache.h"
#include "DTGilSlideshowCore.h"
#include "base/DTErrors.h"
#include "base/DTLog.h"
#include "sources/DTVideoSourceBuffered.h"

#include <boost/make_shared.hpp>

#include <algorithm>

namespace kestrel {
namespace slideshow2 {

gil_slideshow_av_source_impl::gil_slideshow_av_source_impl(gil_slideshow_core& core)
    : core_(core),
      direct_video_(core),
      audio_(boost::make_shared<audio_source_from_track>(&core.show_audio())) {
    video_.set_target(&direct_video_);
}

gil_slideshow_av_source_impl::read_ahead_run::read_ahead_run(gil_slideshow_core& core)
    : pictures(new video_source_from_image(core)), ahead(new video_source_buffered(pictures.get())) {}

gil_slideshow_av_source_impl::read_ahead_run::~read_ahead_run() = default;

// The runs' threads read the core: their photo reads give up, then they are
// joined.
gil_slideshow_av_source_impl::~gil_slideshow_av_source_impl() {
    using stopper = gil_slideshow_core::cache::reads_stopper;
    audio_.reset();
    video_.set_target(nullptr);
    core_.photo_cache().set_reads_interrupted(true, stopper::preview);
    if (run_)
        run_->pictures->stop_rendering();
    run_.reset();
    for (const auto& left : left_)
        left->pictures->stop_rendering();
    left_.clear();
    // A production's stop under way keeps its own switch on.
    core_.photo_cache().set_reads_interrupted(false, stopper::preview);
}

double gil_slideshow_av_source_impl::seek(double t) {
    log_line(logger::info()) << "[gil_slideshow_av_source_impl] seek to " << t << std::endl;
    core_.show_audio().seek(t);
    if (run_) {
        // A new run renders the new position: the caller never waits for
        // a photo's file.
        leave_read_ahead();
        start_read_ahead(t);
    } else {
        direct_video_.set_position(t);
    }
    return t;
}

bool gil_slideshow_av_source_impl::move_pictures(double t) {
    if (!run_)
        return false;
    log_line(logger::info()) << "[gil_slideshow_av_source_impl] pictures moved to " << t << std::endl;
    leave_read_ahead();
    start_read_ahead(t);
    return true;
}

void gil_slideshow_av_source_impl::start_read_ahead(double t) {
    auto run = std::make_unique<read_ahead_run>(core_);
    run->pictures->move_to(t);
    run->ahead->start();
    video_.set_target(run->ahead.get());
    run_ = std::move(run);
}

void gil_slideshow_av_source_impl::leave_read_ahead() {
    using stopper = gil_slideshow_core::cache::reads_stopper;
    if (!run_)
        return;
    run_->pictures->stop_rendering();
    run_->ahead->give_up();
    // A photo read under way gives up; later ones wait again. A production's
    // stop under way keeps its own switch on.
    core_.photo_cache().set_reads_interrupted(true, stopper::preview);
    core_.photo_cache().set_reads_interrupted(false, stopper::preview);
    left_.push_back(std::move(run_));
    // Runs that have ended are joined at once.
    left_.erase(std::remove_if(left_.begin(), left_.end(),
                               [](const std::unique_ptr<read_ahead_run>& left) { return left->ahead->ended(); }),
                left_.end());
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
        start_read_ahead(direct_video_.position());
    } else {
        video_.set_target(&direct_video_);
        if (run_) {
            // Read directly from where the reader of the run stood.
            direct_video_.move_to(run_->ahead->position());
            leave_read_ahead();
        }
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
