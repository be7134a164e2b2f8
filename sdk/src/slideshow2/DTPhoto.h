#pragma once
// A photo of the storyboard: one JPEG file with its description (path,
// rotation, whether the EXIF orientation is applied) and, once loaded, its
// picture decoded and scaled to a requested size. A turn decodes the file
// again at the last loaded size. Shared as photo_ptr.
//
// Every operation may be called from any thread; a load or turn holds the
// photo for the length of one decode. A picture handed out owns its pixels:
// it stays valid and unchanged after later loads and turns. Read and decode
// errors pass through as the library's errors; a failed load leaves the
// previous picture and load record in place.

#include "base/DTBase.h"
#include "image/DTPhotoDesc.h"
#include "media/DTVideoData.h"

#include <boost/shared_ptr.hpp>
#include <boost/thread/mutex.hpp>

#include <memory>
#include <string>

namespace kestrel {
namespace slideshow2 {

class photo;
typedef boost::shared_ptr<photo> photo_ptr;

class photo : public facade<photo> {
public:
    class Impl : public impl_base {
    public:
        // How the photo was last loaded, so that a turn can load it again.
        struct load_record {
            bool valid = false;
            unsigned int side = 0;
            double filter = 0.0;
            bool fit_height = false;
        };

        virtual image::photo_desc desc() const = 0;
        // The displayed size: rotation and applied orientation included.
        virtual unsigned int width() const = 0;
        virtual unsigned int height() const = 0;
        // Null before the first load.
        virtual video_data_ptr picture() const = 0;
        // Turns further by a rotation code (1 clockwise, 3 counter-clockwise).
        virtual void rotate(int code) = 0;
        // Why the last load or turn shows the photo only in part ("cut
        // short: the lower part is grey"); empty when it was whole.
        virtual std::string damage() const { return std::string(); }

        // Decodes at `side` (the longer side, or the height with
        // `fit_height`), softened first when `filter` > 0; then remembers how.
        void load(unsigned int side, double filter, bool fit_height);
        void load(unsigned int side, bool fit_height);
        void load(unsigned int side, double filter);
        void load(unsigned int side);
        // Repeats the last load that succeeded; nothing before the first.
        void reload();
        load_record last_load() const;

    protected:
        virtual void do_load(unsigned int side, double filter, bool fit_height) = 0;

    private:
        mutable boost::mutex record_mutex_;
        load_record last_load_;
    };

    using facade::impl;
    image::photo_desc desc() const { return impl()->desc(); }

protected:
    explicit photo(Impl* impl) : facade(impl) {}
};

} // namespace slideshow2
} // namespace kestrel
