#include "DTGilSlideshow.h"

#include "DTCommonSlide.h"

#include <boost/make_shared.hpp>

namespace kestrel {
namespace slideshow2 {

gil_slideshow_impl::gil_slideshow_impl(slide_factory_t factory)
    : common_slideshow_settings_impl(std::move(factory)),
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

void gil_slideshow_impl::on_change_timeline() { core_.on_change_timeline(); }

void gil_slideshow_impl::on_change_video_format() { core_.on_change_video_format(); }

gil_slideshow::gil_slideshow(common_slideshow_impl::slide_factory_t factory)
    : slideshow(new gil_slideshow_impl(std::move(factory))) {}

slideshow_ptr create_gil_slideshow() { return create_gil_slideshow(&create_common_slide); }

slideshow_ptr create_gil_slideshow(common_slideshow_impl::slide_factory_t factory) {
    return boost::make_shared<gil_slideshow>(std::move(factory));
}

void initialize() {}

} // namespace slideshow2
} // namespace kestrel
