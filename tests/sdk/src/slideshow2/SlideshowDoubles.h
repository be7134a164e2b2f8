#pragma once
// Stand-ins for the layers around the slideshow model: slides that do
// nothing, and a slideshow whose hooks record every call.

#include "slideshow2/DTCommonSlideshowSettings.h"
#include "slideshow2/DTPhoto.h"
#include "slideshow2/DTSlide.h"

#include <boost/make_shared.hpp>
#include <boost/thread/lock_guard.hpp>
#include <boost/thread/mutex.hpp>

#include <string>

namespace kestrel {
namespace test {

// A slide that answers nothing: no photo, no properties, no motion.
struct inert_slide_impl : slideshow2::slide::Impl {
    ControllerPtr open_photo(slideshow2::photo_manager_ptr, const std::string&, media_settings_ptr,
                             slideshow2::slide::open_callback, const std::string&) override {
        return ControllerPtr();
    }
    std::string get_properties() const override { return std::string(); }
    void rotate(int) override {}
    video_data_ptr thumbnail() const override { return video_data_ptr(); }
    std::string ken_burns_effect() const override { return std::string(); }
    slideshow2::photo_ptr photo() const override { return slideshow2::photo_ptr(); }
};

class inert_slide : public slideshow2::slide {
public:
    inert_slide() : slide(new inert_slide_impl) {}
};

inline slideshow2::slide_ptr make_inert_slide() { return boost::make_shared<inert_slide>(); }

// A slide whose photo the test sets; like a real slide it names its
// landscape motion for a photo at least as wide as high, else its portrait
// one, and no motion without a photo. Any thread may read it.
class photo_slide : public slideshow2::slide {
    struct photo_state : inert_slide_impl {
        mutable boost::mutex mutex;
        slideshow2::photo_ptr shown;
        std::string landscape = "static";
        std::string portrait = "static";

        std::string ken_burns_effect() const override {
            boost::lock_guard<boost::mutex> lock(mutex);
            if (!shown)
                return std::string();
            return shown->impl()->width() >= shown->impl()->height() ? landscape : portrait;
        }
        slideshow2::photo_ptr photo() const override {
            boost::lock_guard<boost::mutex> lock(mutex);
            return shown;
        }
    };

public:
    photo_slide() : slide(new photo_state) {}

    void set_photo(slideshow2::photo_ptr photo, const std::string& landscape = "static",
                   const std::string& portrait = "static") {
        photo_state& own = static_cast<photo_state&>(*impl());
        boost::lock_guard<boost::mutex> lock(own.mutex);
        own.shown = photo;
        own.landscape = landscape;
        own.portrait = portrait;
    }
};

inline slideshow2::slide_ptr make_photo_slide() { return boost::make_shared<photo_slide>(); }

// Hooks append "T" (timeline) or "V" (video format) to `hooks` and check
// that the list can be read from inside them.
class recording_slideshow : public slideshow2::common_slideshow_settings_impl {
public:
    recording_slideshow() : common_slideshow_settings_impl(&make_inert_slide) {}

    std::string hooks;
    std::size_t count_seen_by_hook = 0;

    av_source_ptr av_source() override { return av_source_ptr(); }
    void set_audio_track(audio_track_ptr) override {}
    void set_buffered(bool) override {}

protected:
    void on_change_timeline() override {
        hooks += 'T';
        count_seen_by_hook = count();
    }
    void on_change_video_format() override { hooks += 'V'; }
};

} // namespace test
} // namespace kestrel
