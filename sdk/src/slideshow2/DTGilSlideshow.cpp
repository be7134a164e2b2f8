#include "DTGilSlideshow.h"

#include "DTCommonSlide.h"
#include "DTGilSlideshowCache.h"
#include "DTSlide.h"
#include "files/DTAbandonableRead.h"
#include "files/DTFailureReason.h"
#include "image/DTPhotoFile.h"
#include "slideshow2/DTPhoto.h"

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

bool gil_slideshow_impl::take_photo_drawn() { return core_.take_photo_drawn(); }

bool gil_slideshow_impl::some_photo_opens(std::vector<unreadable_photo>& refused) {
    unreadable_photo_record record;
    const std::size_t slides = count();
    for (std::size_t i = 0; i < slides; ++i) {
        slide_ptr each;
        try {
            each = get_slide(i);
        } catch (const errors::failure&) {
            break; // the list shrank meanwhile
        }
        const photo_ptr photo = each ? each->impl()->photo() : photo_ptr();
        const std::string path = photo ? photo->desc().url : each ? each->impl()->photo_path() : std::string();
        if (core_.photo_unanswered(path)) {
            const file_refusal refusal = file_refusal::does_not_answer;
            record.add(unreadable_photo{path, log_words(refusal), false, refusal});
            continue;
        }
        if (!photo)
            continue;
        const image::photo_desc desc = photo->desc();
        try {
            // Its header, as the renderer's cache reads it first.
            image::gil::photo_file file;
            image::gil::set_photo_desc(file, desc);
            return true;
        } catch (const read_interrupted&) {
            throw;
        } catch (...) {
            record.add(unreadable_photo{desc.url, errors::reason_of(std::current_exception()), false,
                                        refusal_of(std::current_exception())});
        }
    }
    refused = record.take();
    return refused.empty();
}

void gil_slideshow_impl::set_unanswered_photos(const std::set<std::string>& paths) {
    core_.set_unanswered_photos(paths);
}

void gil_slideshow_impl::on_change_timeline() { core_.on_change_timeline(); }

void gil_slideshow_impl::on_change_video_format() { core_.on_change_video_format(); }

gil_slideshow::gil_slideshow() : slideshow(new gil_slideshow_impl) {}

slideshow_ptr create_gil_slideshow() { return boost::make_shared<gil_slideshow>(); }

void initialize() {}

} // namespace slideshow2
} // namespace kestrel
