#include "DTPhotoFile.h"

#include "base/DTErrors.h"
#include "base/DTLog.h"
#include "files/DTAbandonableRead.h"
#include "files/DTFailureReason.h"

#include <boost/make_shared.hpp>

#include <exception>

namespace kestrel {
namespace image {
namespace gil {

namespace {

boost::gil::point_t displayed_size(const photo_file& file) {
    if (!file.described())
        return boost::gil::point_t(0, 0);
    const jpeg_header_facts& header = file.header();
    boost::gil::point_t size = header.output_size;
    if (file.desc().transform.correct_orientantion && orientation_swaps_sides(header.orientation))
        size = boost::gil::point_t(size.y, size.x);
    return rotation_swaps_sides(file.desc().transform.rotate) ? boost::gil::point_t(size.y, size.x) : size;
}

} // namespace

jpeg_header_facts header_facts(const jpeg_reader& reader) {
    jpeg_header_facts facts;
    facts.output_size = output_dimensions(reader);
    facts.orientation = reader.orientation();
    return facts;
}

jpeg_reader_ptr open_jpeg(const std::string& path) {
    std::unique_ptr<abandonable_file> file;
    try {
        file.reset(new abandonable_file(path));
    } catch (const read_interrupted&) {
        // Stopped by whoever reads it (a cache that closes, a stop): no
        // fault of the file, and the one who stopped it says so.
        log_line(logger::info()) << "[jpeg_reader] : opening given up : " << log_quoted(path) << std::endl;
        throw;
    } catch (const std::exception&) {
        log_line(logger::warning()) << "[jpeg_reader] : " << errors::log_text_of(std::current_exception()) << " : "
                                    << log_quoted(path) << std::endl;
        throw;
    }
    return boost::make_shared<jpeg_reader>(std::move(file), path);
}

void set_photo_desc(photo_file& file, const photo_desc& desc) {
    // Read first, so that a file that fails leaves the record as it was.
    // The reader (and with it the file) goes when this call ends.
    const jpeg_header_facts header = header_facts(*open_jpeg(desc.url));
    file.desc_ = desc;
    file.header_ = header;
    file.described_ = true;
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
