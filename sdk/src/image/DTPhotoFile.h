#pragma once
// A photo's file as the scaler sees it: the description (path, rotation,
// whether the EXIF orientation is applied) and what the file's JPEG header
// said (size at the last DCT scale, EXIF orientation). Setting the
// description opens the file and reads its header; each render opens it
// again (scale_photo). Neither keeps the reader: the file and the libjpeg
// decoder are released as soon as the call ends, so that a storyboard of
// thousands of photos holds no file open. Files are opened as
// abandonable_file opens them (files/DTAbandonableRead.h): never waiting in
// open(), regular files only, and within a read_interruption_scope so
// that a stop can leave behind a read that does not answer. Not locked:
// one thread at a time; a record copied cheaply, so that a holder may read
// the file into a copy of it without holding anyone else up.

#include "image/DTJpegReader.h"
#include "image/DTPhotoDesc.h"

namespace kestrel {
namespace image {
namespace gil {

// What a photo keeps of its reader once the reader is gone.
struct jpeg_header_facts {
    // The size libjpeg decodes at its current DCT scale (x = width, y = height).
    boost::gil::point_t output_size = boost::gil::point_t(0, 0);
    // EXIF orientation: 1 to 8, 0 when the file has none.
    int orientation = 0;
};

jpeg_header_facts header_facts(const jpeg_reader& reader);

class photo_file {
public:
    const photo_desc& desc() const { return desc_; }
    // False until a description was set.
    bool described() const { return described_; }
    // Zero until a description was set; replaced by every render.
    const jpeg_header_facts& header() const { return header_; }
    // Why the last render shows the photo only in part (jpeg_reader::damage);
    // empty when it was whole or before the first render.
    const std::string& damage() const { return damage_; }

private:
    friend void set_photo_desc(photo_file& file, const photo_desc& desc);
    friend void scale_photo(photo_file& file, boost::gil::rgb8_image_t& image, unsigned int side,
                            double filter, bool fit_height);

    photo_desc desc_;
    jpeg_header_facts header_;
    std::string damage_;
    bool described_ = false;
};

// Opens `path` and reads its header. Throws the reader's errors, and
// errors::failure with the reason ("not found", "no permission to read it",
// "not a regular file: a named pipe") when the file cannot be opened.
jpeg_reader_ptr open_jpeg(const std::string& path);

// Reads the header of the description's file and takes both; the reader's
// errors pass through and then leave the record unchanged.
void set_photo_desc(photo_file& file, const photo_desc& desc);

// The photo's displayed size at the last reader's DCT scale: the EXIF
// orientation's side exchange when it is applied, then the rotation's.
// 0 x 0 before a description was set.
unsigned int photo_file_width(const photo_file& file);
unsigned int photo_file_height(const photo_file& file);

} // namespace gil
} // namespace image
} // namespace kestrel
