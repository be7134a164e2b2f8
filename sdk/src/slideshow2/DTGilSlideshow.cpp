#include "DTGilSlideshow.h"

#include "DTCommonSlide.h"
#include "DTGilSlideshowCache.h"

#include <boost/make_shared.hpp>

namespace kestrel {
namespace slideshow2 {

gil_slideshow_impl::gil_slideshow_impl()
    : common_slideshow_settings_impl(&create_common_slide),
      source_(nullptr) {
    av_source_ = create_gil_slideshow_av_source(&core_);
    source_ = av_source_.get();
    core_.set_owner(this);
}

gil_slideshow_impl::~gil_slideshow_impl() {
    source_ = nullptr;
    av_source_.reset();
}

void gil_slideshow_impl::set_audio_track(audio_track_ptr track) { core_.set_audio_track(track); }

void gil_slideshow_impl::set_buffered(bool buffered) { source_->set_buffered(buffered); }

std::vector<unreadable_photo> gil_slideshow_impl::take_unreadable_photos() {
    return core_.unreadable_photos().take();
}

void gil_slideshow_impl::interrupt_reads(bool on) { core_.photo_cache().set_reads_interrupted(on); }

void gil_slideshow_impl::on_change_timeline() { core_.on_change_timeline(); }

void gil_slideshow_impl::on_change_video_format() { core_.on_change_video_format(); }

gil_slideshow::gil_slideshow() : slideshow(new gil_slideshow_impl) {}

slideshow_ptr create_gil_slideshow() { return boost::make_shared<gil_slideshow>(); }

void initialize() {}

} // namespace slideshow2
} // namespace kestrel
