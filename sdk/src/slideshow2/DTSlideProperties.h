#pragma once
// The slide-properties text: what a storyboard keeps of a slide across
// runs. It is a whole XML archive whose top-level element
// "slide-properties" holds two texts, each itself a whole archive:
// "ken-burns" (element "ken-burns" with "landscape" and "portrait", the
// slide's two motion names) and "photo-properties" (the photo-description
// text, image/DTPhotoDescText.h). Element names and order never change:
// stored texts, archive version 9 included, must stay readable.
//
// None of the functions throws: writing gives the empty text on failure,
// reading gives false, and members read before the failure keep their new
// values. A motion name that no motion carries reads fine; it fails only
// when a frame is drawn.

#include "base/DTXmlElementName.h"

#include <boost/serialization/nvp.hpp>
#include <boost/serialization/string.hpp>

#include <string>

namespace kestrel {
namespace slideshow2 {

// The slide's motions: for a photo at least as wide as high, and for a
// photo higher than wide.
struct ken_burns_desc {
    std::string landscape;
    std::string portrait;
};

struct slide_properties_t {
    std::string ken_burns;        // a whole Ken Burns text
    std::string photo_properties; // a whole photo-description text
};

namespace slide_properties_elements {
inline constexpr xml_element_name top{"slide-properties"};
inline constexpr xml_element_name ken_burns{"ken-burns"};
inline constexpr xml_element_name photo_properties{"photo-properties"};
} // namespace slide_properties_elements

namespace ken_burns_desc_elements {
inline constexpr xml_element_name top{"ken-burns"};
inline constexpr xml_element_name landscape{"landscape"};
inline constexpr xml_element_name portrait{"portrait"};
} // namespace ken_burns_desc_elements

// Archive wrappers: they refer to a record (const to write, mutable to read).
template <class Desc>
class ken_burns_desc_serialize {
public:
    explicit ken_burns_desc_serialize(Desc& desc) : desc(desc) {}

    template <class Archive>
    void serialize(Archive& archive, unsigned /*version*/) {
        using boost::serialization::make_nvp;
        namespace element = ken_burns_desc_elements;
        archive & make_nvp(element::landscape.text, desc.landscape);
        archive & make_nvp(element::portrait.text, desc.portrait);
    }

private:
    Desc& desc;
};

template <class Properties>
class slide_properties_serialize {
public:
    explicit slide_properties_serialize(Properties& properties) : properties(properties) {}

    template <class Archive>
    void serialize(Archive& archive, unsigned /*version*/) {
        using boost::serialization::make_nvp;
        namespace element = slide_properties_elements;
        archive & make_nvp(element::ken_burns.text, properties.ken_burns);
        archive & make_nvp(element::photo_properties.text, properties.photo_properties);
    }

private:
    Properties& properties;
};

std::string slide_properties_to_xml(const slide_properties_t& properties);
bool slide_properties_from_xml(const std::string& text, slide_properties_t& properties);

std::string ken_burns_desc_to_xml(const ken_burns_desc& desc);
bool ken_burns_desc_from_xml(const std::string& text, ken_burns_desc& desc);

} // namespace slideshow2
} // namespace kestrel
