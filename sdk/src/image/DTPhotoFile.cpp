#include "DTPhotoFile.h"

#include <boost/make_shared.hpp>

#include <exception>

namespace kestrel {
namespace image {
namespace gil {

namespace {

boost::gil::point_t displayed_size(const photo_file& file) {
    if (!file.reader())
        return boost::gil::point_t(0, 0);
    const jpeg_reader& reader = *file.reader();
    const boost::gil::point_t size =
        file.desc().transform.correct_orientantion ? oriented_dimensions(reader) : output_dimensions(reader);
    return rotation_swaps_sides(file.desc().transform.rotate) ? boost::gil::point_t(size.y, size.x) : size;
}

} // namespace

jpeg_reader_ptr open_jpeg(const std::string& path) {
    FILEPtr file;
    try {
        file = open_file(path, "rb");
    } catch (const std::exception&) {
        // A path that is not UTF-8 names no file: the reader reports it.
    }
    return boost::make_shared<jpeg_reader>(file);
}

void set_photo_desc(photo_file& file, const photo_desc& desc) {
    // Opened first, so that a file that fails leaves the record as it was.
    jpeg_reader_ptr reader = open_jpeg(desc.url);
    file.desc_ = desc;
    file.reader_ = reader;
}

unsigned int photo_file_width(const photo_file& file) {
    return static_cast<unsigned int>(displayed_size(file).x);
}

unsigned int photo_file_height(const photo_file& file) {
    return static_cast<unsigned int>(displayed_size(file).y);
}

} // namespace gil
} // namespace image
} // namespace kestrel
