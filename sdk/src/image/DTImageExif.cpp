#include "DTImageExif.h"

#include "base/DTLog.h"

#include <libexif/exif-data.h>

#include <boost/shared_ptr.hpp>

namespace kestrel {
namespace image {
namespace image_exif {

namespace {

// Reads what the file holds: libexif's option that corrects data towards
// the EXIF standard would drop an orientation kept in the thumbnail's IFD
// and invent entries the file never had.
boost::shared_ptr<ExifData> load_exif(const std::vector<uint8_t>& bytes) {
    boost::shared_ptr<ExifData> data(exif_data_new(), [](ExifData* d) {
        if (d)
            exif_data_unref(d);
    });
    if (!data)
        return data;
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(data.get(), bytes.data(), static_cast<unsigned int>(bytes.size()));
    return data;
}

ExifEntry* find_orientation(ExifData* data) {
    static const ExifIfd search_order[] = {EXIF_IFD_0, EXIF_IFD_1, EXIF_IFD_EXIF, EXIF_IFD_GPS,
                                           EXIF_IFD_INTEROPERABILITY};
    for (ExifIfd ifd : search_order) {
        if (ExifEntry* entry = exif_content_get_entry(data->ifd[ifd], EXIF_TAG_ORIENTATION))
            return entry;
    }
    return nullptr;
}

} // namespace

bool parse_image_properties(const std::vector<uint8_t>& bytes, int& orientation) {
    orientation = 0;
    if (bytes.empty())
        return false;
    try {
        boost::shared_ptr<ExifData> data = load_exif(bytes);
        if (!data)
            return false;
        ExifEntry* entry = find_orientation(data.get());
        // A tag whose value is shorter than one 16-bit number holds nothing to read.
        if (!entry || !entry->data || entry->size < 2)
            return false;
        const int value = exif_get_short(entry->data, exif_data_get_byte_order(data.get()));
        log_line(logger::info()) << "[image_exif::parse_image_properties] EXIF_TAG_ORIENTATION found : "
                                 << value << std::endl;
        orientation = value;
        return true;
    } catch (...) {
        // Out of memory while logging or loading: the tag counts as absent.
        orientation = 0;
        return false;
    }
}

} // namespace image_exif
} // namespace image
} // namespace kestrel
