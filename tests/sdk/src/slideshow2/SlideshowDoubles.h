#pragma once
// A slideshow model whose hooks record every call, with the engine's own
// slides (no photo: they draw nothing).

#include "slideshow2/DTCommonSlide.h"
#include "slideshow2/DTCommonSlideshowSettings.h"

#include <string>

namespace kestrel {
namespace test {

// Hooks append "T" (timeline) or "V" (video format) to `hooks` and check
// that the list can be read from inside them.
class recording_slideshow : public slideshow2::common_slideshow_settings_impl {
public:
    recording_slideshow() : common_slideshow_settings_impl(&slideshow2::create_common_slide) {}

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
