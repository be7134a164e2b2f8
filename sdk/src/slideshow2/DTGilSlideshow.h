#pragma once
// The renderer-backed slideshow, the only kind the application uses: the
// slide list and the settings of the layers below, the renderer core, and
// one audio/video source over the core that lives as long as the
// slideshow. create_gil_slideshow makes one with no slides, no music
// (silence) and the default settings; its slides are common_slides.
//
// Whoever reads the slideshow's av_source must keep the slideshow too: the
// source reads the core it holds no ownership of. Destruction releases the
// source first, then the core (joining the photo cache's loaders while
// the slides and settings still stand), then settings and list.

#include "DTCommonSlideshowSettings.h"
#include "DTGilSlideshowAVSource.h"
#include "DTGilSlideshowCore.h"

namespace kestrel {
namespace slideshow2 {

class gil_slideshow_impl : public common_slideshow_settings_impl {
public:
    // Its slides are made by create_common_slide.
    gil_slideshow_impl();
    ~gil_slideshow_impl() override;

    av_source_ptr av_source() override { return av_source_; }
    void set_audio_track(audio_track_ptr track) override;
    void set_buffered(bool buffered) override;
    std::vector<unreadable_photo> take_unreadable_photos() override;
    void interrupt_reads(bool on) override;
    bool take_photo_drawn() override;
    bool some_photo_opens(std::vector<unreadable_photo>& refused) override;
    void set_unanswered_photos(const std::set<std::string>& paths) override;

    gil_slideshow_core& core() { return core_; }

protected:
    void on_change_timeline() override;
    void on_change_video_format() override;

private:
    gil_slideshow_core core_;
    gil_slideshow_av_source* source_;       // the object av_source_ owns
    gil_slideshow_av_source_ptr av_source_;
};

class gil_slideshow : public slideshow {
public:
    gil_slideshow();
};

slideshow_ptr create_gil_slideshow();

// Called once at start-up; nothing needs preparing.
void initialize();

} // namespace slideshow2
} // namespace kestrel
