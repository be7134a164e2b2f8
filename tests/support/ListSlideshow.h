#pragma once
// A slideshow of the engine's own slide list and real slides, without a
// renderer: what the storyboard and music view models need of a show. The
// music is only recorded. Nothing here uses GoogleTest: the benchmarks
// build it too.

#include "slideshow2/DTCommonSlide.h"
#include "slideshow2/DTCommonSlideshowSettings.h"
#include "slideshow2/DTSlideshow.h"

#include <boost/make_shared.hpp>

namespace kestrel {
namespace test {

class list_slideshow : public slideshow2::common_slideshow_settings_impl {
public:
    list_slideshow() : common_slideshow_settings_impl(&slideshow2::create_common_slide) {}

    av_source_ptr av_source() override { return av_source_ptr(); }
    // GUI thread only, as the view models call it.
    void set_audio_track(audio_track_ptr track) override {
        music = track;
        ++music_changes;
    }
    void set_buffered(bool) override {}

    audio_track_ptr music;
    int music_changes = 0;

protected:
    void on_change_timeline() override {}
    void on_change_video_format() override {}
};

inline slideshow2::slideshow_ptr make_list_slideshow() {
    return boost::make_shared<slideshow2::slideshow>(new list_slideshow);
}

inline list_slideshow& list_of(const slideshow2::slideshow_ptr& show) {
    return *static_cast<list_slideshow*>(show->impl());
}

} // namespace test
} // namespace kestrel
