#pragma once
// The photo-description text: a whole XML archive whose top-level element
// "PhotoDesc" holds "url" and the object "transform" with "rotate" (a
// decimal code) and "correct_orientantion" (0 or 1). Slides keep it inside
// their properties text, and storyboards keep that across runs, so the
// element names and their order never change.
//
// Neither function throws. Reading stops at the first failure: "url" is
// already assigned then, the transform only once all of it was read.

#include "DTPhotoDesc.h"
#include "base/DTXmlElementName.h"

#include <boost/serialization/nvp.hpp>
#include <boost/serialization/string.hpp>

#include <string>

namespace kestrel {
namespace image {

namespace photo_desc_elements {
inline constexpr xml_element_name top{"PhotoDesc"};
inline constexpr xml_element_name url{"url"};
inline constexpr xml_element_name transform{"transform"};
inline constexpr xml_element_name rotate{"rotate"};
inline constexpr xml_element_name correct_orientantion{"correct_orientantion"};
} // namespace photo_desc_elements

// Archive wrappers: they refer to a record (const to write, mutable to read).
template <class Transform>
class image_transform_serialize {
public:
    explicit image_transform_serialize(Transform& transform) : transform(transform) {}

    template <class Archive>
    void serialize(Archive& archive, unsigned /*version*/) {
        using boost::serialization::make_nvp;
        namespace element = photo_desc_elements;
        archive & make_nvp(element::rotate.text, transform.rotate);
        archive & make_nvp(element::correct_orientantion.text, transform.correct_orientantion);
    }

private:
    Transform& transform;
};

template <class Desc>
class photo_desc_serialize {
public:
    explicit photo_desc_serialize(Desc& desc) : desc(desc) {}

    template <class Archive>
    void serialize(Archive& archive, unsigned /*version*/) {
        using boost::serialization::make_nvp;
        namespace element = photo_desc_elements;
        archive & make_nvp(element::url.text, desc.url);
        image_transform transform = desc.transform;
        image_transform_serialize<image_transform> wrapper(transform);
        archive & make_nvp(element::transform.text, wrapper);
        if constexpr (Archive::is_loading::value)
            desc.transform = transform;
    }

private:
    Desc& desc;
};

// The text, or empty text when the archive fails.
std::string photo_desc_to_xml(const photo_desc& desc);
// False for empty, truncated or foreign text, another element name or a
// non-numeric value.
bool photo_desc_from_xml(const std::string& text, photo_desc& desc);

} // namespace image
} // namespace kestrel
