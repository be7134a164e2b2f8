#include "DTSlideProperties.h"

#include "base/DTXmlArchiveText.h"

namespace kestrel {
namespace slideshow2 {

std::string slide_properties_to_xml(const slide_properties_t& properties) {
    const slide_properties_serialize<const slide_properties_t> wrapper(properties);
    return xml_archive_text(slide_properties_elements::top, wrapper);
}

bool slide_properties_from_xml(const std::string& text, slide_properties_t& properties) {
    slide_properties_serialize<slide_properties_t> wrapper(properties);
    return read_xml_archive_text(text, slide_properties_elements::top, wrapper);
}

std::string ken_burns_desc_to_xml(const ken_burns_desc& desc) {
    const ken_burns_desc_serialize<const ken_burns_desc> wrapper(desc);
    return xml_archive_text(ken_burns_desc_elements::top, wrapper);
}

bool ken_burns_desc_from_xml(const std::string& text, ken_burns_desc& desc) {
    ken_burns_desc_serialize<ken_burns_desc> wrapper(desc);
    return read_xml_archive_text(text, ken_burns_desc_elements::top, wrapper);
}

} // namespace slideshow2
} // namespace kestrel
