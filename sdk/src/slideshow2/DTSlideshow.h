#pragma once
// The public slideshow: the ordered slides, the settings that size the frame
// and time the show, the music, and the audio/video source the preview and
// the producer read. A facade over one owned slideshow::Impl: each member
// forwards its arguments unchanged and lets the implementation's exceptions
// through. The implementation guards its list and settings with its own
// locks, so members may be called from any thread.

#include "DTSlideshowTypes.h"
#include "DTUnreadablePhotos.h"
#include "audio/DTAudioTrack.h"
#include "base/DTBase.h"
#include "media/DTMediaSettings.h"
#include "sources/DTAVSource.h"

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace kestrel {
namespace slideshow2 {

class slideshow : public facade<slideshow> {
public:
    class Impl : public impl_base {
    public:
        virtual av_source_ptr av_source() = 0;
        virtual slide_ptr insert_slide(std::size_t index) = 0;
        virtual void move_slide(std::size_t from, std::size_t to) = 0;
        virtual void remove_slide(std::size_t index) = 0;
        virtual slide_ptr get_slide(std::size_t index) = 0;
        virtual std::size_t count() = 0;
        virtual std::size_t index_of(slide_ptr slide) const = 0;
        virtual void clear() = 0;
        // An empty track removes the music.
        virtual void set_audio_track(audio_track_ptr track) = 0;
        virtual void apply_settings(media_settings_ptr settings) = 0;
        // True reads the video ahead on a thread of its own.
        virtual void set_buffered(bool buffered) = 0;
        // The photos that frames rendered since the last call needed and
        // could not read, each once (DTUnreadablePhotos.h); forgets them.
        // A slideshow that renders no photos has none.
        virtual std::vector<unreadable_photo> take_unreadable_photos() { return {}; }
        // On: the photo reads of the slideshow's renders give up at once,
        // one under way included, and their slides draw nothing, until
        // off; so that a stop never waits for a file that does not answer
        // (a share that hangs). Nothing is recorded of them.
        virtual void interrupt_reads(bool) {}
        // Whether frames rendered since the last call drew a photo (whole
        // or as far as it could be read); forgets it. A slideshow that
        // renders no photos says yes.
        virtual bool take_photo_drawn() { return true; }
        // Opens the slides' photos in turn until one opens: true then, and
        // when no slide has a photo; else false with each photo, once, and
        // why it cannot be read in `refused`. Reads as the renders read,
        // so a stop gives them up (read_interrupted passes through).
        virtual bool some_photo_opens(std::vector<unreadable_photo>& /*refused*/) { return true; }
        // The photos (UTF-8 paths, as their slides were asked to open
        // them) that do not answer, in place of the earlier set: until it
        // changes, neither the renders nor some_photo_opens read them, and
        // their slides draw nothing, each photo recorded as unreadable
        // ("does not answer") whether its slide has its photo by now or
        // not. So a production started while they wait never waits on
        // them, also should they answer meanwhile. Empty for none.
        virtual void set_unanswered_photos(const std::set<std::string>& /*paths*/) {}
    };

    // Takes ownership of the implementation.
    explicit slideshow(Impl* impl) : facade(impl) {}

    av_source_ptr av_source() { return impl()->av_source(); }
    slide_ptr insert_slide(std::size_t index) { return impl()->insert_slide(index); }
    void move_slide(std::size_t from, std::size_t to) { impl()->move_slide(from, to); }
    void remove_slide(std::size_t index) { impl()->remove_slide(index); }
    slide_ptr get_slide(std::size_t index) { return impl()->get_slide(index); }
    std::size_t count() { return impl()->count(); }
    std::size_t index_of(slide_ptr slide) const { return impl()->index_of(slide); }
    void clear() { impl()->clear(); }
    void set_audio_track(audio_track_ptr track) { impl()->set_audio_track(track); }
    void apply_settings(media_settings_ptr settings) { impl()->apply_settings(settings); }
    void set_buffered(bool buffered) { impl()->set_buffered(buffered); }
    std::vector<unreadable_photo> take_unreadable_photos() { return impl()->take_unreadable_photos(); }
    void interrupt_reads(bool on) { impl()->interrupt_reads(on); }
    bool take_photo_drawn() { return impl()->take_photo_drawn(); }
    bool some_photo_opens(std::vector<unreadable_photo>& refused) { return impl()->some_photo_opens(refused); }
    void set_unanswered_photos(const std::set<std::string>& paths) { impl()->set_unanswered_photos(paths); }

    // Appends: count() then insert_slide(count), two calls, not one locked step.
    slide_ptr add_slide() { return insert_slide(count()); }

    using facade::impl;
};

} // namespace slideshow2
} // namespace kestrel
