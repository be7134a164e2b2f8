#pragma once
// The public slide: one entry of the slideshow, the photo it shows and the
// two Ken Burns motions it plays. A facade over one owned slide::Impl; each
// member forwards unchanged. open_photo returns at once and reports through
// its callback on a photo manager worker thread.

#include "DTSlideshowTypes.h"
#include "base/DTBase.h"
#include "base/DTController.h"
#include "files/DTFileRefusal.h"
#include "media/DTMediaSettings.h"
#include "media/DTVideoData.h"

#include <boost/function.hpp>

#include <string>

namespace kestrel {
namespace slideshow2 {

class slide : public facade<slide> {
public:
    // opened: the slide has its photo; not_opened: it has none (the open
    // was cancelled or the photo could not be read or decoded).
    enum OpenResult { opened = 0, not_opened = 1 };
    typedef boost::function<void(OpenResult)> open_callback;

    class Impl : public impl_base {
    public:
        // Queues the photo's load; `properties` is an earlier get_properties
        // text (may be empty). Returns the load's cancel handle.
        virtual ControllerPtr open_photo(photo_manager_ptr manager, const std::string& path,
                                         media_settings_ptr settings, open_callback on_open,
                                         const std::string& properties) = 0;
        // The slide-properties text, or empty text before the photo is open.
        virtual std::string get_properties() const = 0;
        // Turns the photo by a rotation code: 1 a quarter turn clockwise,
        // 2 a half turn, 3 (or 4) a quarter turn counter-clockwise.
        virtual void rotate(int code) = 0;
        virtual video_data_ptr thumbnail() const = 0;
        // The motion name for the photo's orientation; empty without a photo.
        virtual std::string ken_burns_effect() const = 0;
        virtual photo_ptr photo() const = 0;
        // The path (UTF-8) of the latest open, as it was given, whether
        // its photo came or not; empty before the first.
        virtual std::string photo_path() const = 0;
        // Why the latest open left the slide without a photo: a refusal
        // (files/DTFileRefusal.h), or plain words ("empty file", "not a JPEG file
        // (it is a PNG)"); empty after a success and before the first
        // answer.
        virtual refused_file open_failure() const = 0;
        // Why the slide's photo shows only in part ("cut short: the lower
        // part is grey"); empty when it is whole or the slide has none.
        virtual std::string photo_damage() const { return std::string(); }
    };

    // Takes ownership of the implementation.
    explicit slide(Impl* impl) : facade(impl) {}

    ControllerPtr open_photo(photo_manager_ptr manager, const std::string& path,
                             media_settings_ptr settings, open_callback on_open,
                             const std::string& properties) {
        return impl()->open_photo(manager, path, settings, on_open, properties);
    }
    std::string get_properties() const { return impl()->get_properties(); }
    void rotate(int code) { impl()->rotate(code); }
    video_data_ptr thumbnail() const { return impl()->thumbnail(); }
    refused_file open_failure() const { return impl()->open_failure(); }
    std::string photo_damage() const { return impl()->photo_damage(); }

    // For the engine (renderer, photo cache): ken_burns_effect and photo.
    using facade::impl;
};

} // namespace slideshow2
} // namespace kestrel
