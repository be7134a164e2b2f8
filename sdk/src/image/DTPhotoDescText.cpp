#include "DTPhotoDescText.h"

#include "base/DTXmlArchiveText.h"

namespace kestrel {
namespace image {

std::string photo_desc_to_xml(const photo_desc& desc) {
    const photo_desc_serialize<const photo_desc> wrapper(desc);
    return xml_archive_text(photo_desc_elements::top, wrapper);
}

bool photo_desc_from_xml(const std::string& text, photo_desc& desc) {
    photo_desc_serialize<photo_desc> wrapper(desc);
    return read_xml_archive_text(text, photo_desc_elements::top, wrapper);
}

} // namespace image
} // namespace kestrel
