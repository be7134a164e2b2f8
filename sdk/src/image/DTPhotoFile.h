#pragma once
// A photo's file as the scaler sees it: the description (path, rotation,
// whether the EXIF orientation is applied) and a JPEG reader on the file.
// Setting the description opens the file and reads its header at once; each
// render opens it again (scale_photo). Not locked: one thread at a time.

#include "image/DTJpegReader.h"
#include "image/DTPhotoDesc.h"

#include <boost/noncopyable.hpp>

namespace kestrel {
namespace image {
namespace gil {

class photo_file : private boost::noncopyable {
public:
    const photo_desc& desc() const { return desc_; }
    // Empty until a description was set; replaced by every render.
    const jpeg_reader_ptr& reader() const { return reader_; }

private:
    friend void set_photo_desc(photo_file& file, const photo_desc& desc);
    friend void scale_photo(photo_file& file, boost::gil::rgb8_image_t& image, unsigned int side,
                            double filter, bool fit_height);

    jpeg_reader_ptr reader_;
    photo_desc desc_;
};

// Opens `path` ("rb") and reads its header. Throws the reader's errors.
jpeg_reader_ptr open_jpeg(const std::string& path);

// Opens a reader on the description's file and takes both; the reader's
// errors pass through and then leave the record unchanged.
void set_photo_desc(photo_file& file, const photo_desc& desc);

// The photo's displayed size at the reader's current DCT scale: the EXIF
// orientation's side exchange when it is applied, then the rotation's.
// 0 x 0 before a description was set.
unsigned int photo_file_width(const photo_file& file);
unsigned int photo_file_height(const photo_file& file);

} // namespace gil
} // namespace image
} // namespace kestrel
