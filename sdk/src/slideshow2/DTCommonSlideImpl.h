#pragma once
// The slide's implementation: the photo loaded through the photo manager
// and the slide's two Ken Burns motion names, one for a photo at least as
// wide as high ("landscape") and one for a higher one ("portrait").
//
// Opening draws names from the photo's file name (DTKenBurnsRegistry.h: an
// open of the same file draws the same), then takes the stored names and
// rotation from a properties text written earlier by get_properties (an
// unreadable text is logged as a warning and the drawn names and no
// rotation stay), and
// queues the load. Its completion runs on the photo manager's worker: the
// loaded photo is turned by the stored rotation before anyone sees it, then
// becomes the slide's photo, and the callback gets the result:
//   opened (0)      the slide has its photo;
//   not_opened (1)  the slide has no photo: the open was cancelled, or the
//                   file could not be read or decoded (missing, not a JPEG,
//                   broken), or the stored rotation could not be applied
//                   (the file went away after the load; an unturned photo
//                   would store the wrong rotation next time).
// open_failure then says why in plain words ("not a JPEG file (it is a
// PNG)", "empty file", "cut short", ...; empty after a success).
// Only the latest open of a slide sets its photo; an older completion that
// arrives late, or one whose slide is gone, touches nothing of the slide
// and answers not_opened. Every open that runs gets exactly one answer.
//
// Threads: open_photo, get_properties, rotate and thumbnail are called on
// the application's thread, ken_burns_effect, photo and photo_path on the
// rendering thread, the completion on a worker. The photo pointer and the names are
// read and written under the slide's lock; turning and decoding hold only
// the photo's own lock.
//
// Throws: open_photo errors::invalid_pointer for an empty photo manager;
// rotate passes the photo's read errors; thumbnail errors::unexpected for a
// photo without implementation.

#include "slideshow2/DTPhotoManager.h"
#include "slideshow2/DTSlide.h"
#include "slideshow2/DTSlideProperties.h"

#include <boost/shared_ptr.hpp>
#include <boost/weak_ptr.hpp>

#include <string>

namespace kestrel {
namespace slideshow2 {

class common_slide_impl : public slide::Impl {
public:
    common_slide_impl();
    ~common_slide_impl() override;

    ControllerPtr open_photo(photo_manager_ptr manager, const std::string& path, media_settings_ptr settings,
                             slide::open_callback on_open, const std::string& properties) override;
    // Empty text (and a warning) while the slide has no photo.
    std::string get_properties() const override;
    void rotate(int code) override;
    // The picture as loaded (and turned); empty without a photo.
    video_data_ptr thumbnail() const override;
    std::string ken_burns_effect() const override;
    photo_ptr photo() const override;
    std::string photo_path() const override;
    refused_file open_failure() const override;
    std::string photo_damage() const override;

private:
    // What the open's completion writes: shared with it weakly, so a
    // completion never reaches a slide that is gone.
    struct state;

    // The photo and the names as one consistent pair.
    void snapshot(photo_ptr& current, ken_burns_desc& names) const;

    static void complete_open(const boost::weak_ptr<state>& target, unsigned long long open_number,
                              int stored_rotation, const slide::open_callback& on_open,
                              photo_manager::OpenResult result, photo_ptr loaded, refused_file reason);

    boost::shared_ptr<state> state_;
};

} // namespace slideshow2
} // namespace kestrel
