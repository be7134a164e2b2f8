#pragma once
// The photo over a JPEG file: decoded with DCT prescaling, oriented and
// scaled by the photo scaler into an rgb8 image that its picture shares.
// Constructing one opens the file and reads its header, so a missing or
// broken file throws the JPEG reader's error here. Between calls the photo
// holds no file and no decoder: a load or turn opens the file again, so a
// file gone meanwhile fails that call with the reader's error.

#include "slideshow2/DTPhoto.h"

#include "image/DTPhotoFile.h"

#include <boost/gil/typedefs.hpp>
#include <boost/thread/mutex.hpp>

#include <string>

namespace kestrel {
namespace slideshow2 {

class gil_photo_impl : public photo::Impl {
public:
    // An empty photo: no file, size 0 x 0, no picture.
    gil_photo_impl();
    // `path` is UTF-8; `correct_orientation` applies the file's EXIF orientation.
    gil_photo_impl(const std::string& path, bool correct_orientation);

    image::photo_desc desc() const override;
    unsigned int width() const override;
    unsigned int height() const override;
    video_data_ptr picture() const override;
    void rotate(int code) override;
    std::string damage() const override;

protected:
    void do_load(unsigned int side, double filter, bool fit_height) override;

private:
    // The record and how many turns it has taken, copied under the lock.
    struct record {
        image::gil::photo_file file;
        image::photo_desc desc;
        unsigned long long turns;
    };
    record copy() const;

    // Guards everything below. Never held through a read of the file: a
    // file that does not answer (a share that hangs) would hold whoever
    // asks for the photo meanwhile, a render's load that a stop gives up
    // among them. A turn or a load reads into a copy of the record and
    // takes it back only when no turn came meanwhile, else reads again.
    mutable boost::mutex mutex_;
    unsigned long long turns_ = 0;
    image::photo_desc desc_;
    image::gil::photo_file file_;
    // Each load makes a new image: earlier pictures keep theirs.
    boost::shared_ptr<const boost::gil::rgb8_image_t> image_;
    video_data_ptr picture_;
};

class gil_photo : public photo {
public:
    gil_photo(const std::string& path, bool correct_orientation);
};

} // namespace slideshow2
} // namespace kestrel
