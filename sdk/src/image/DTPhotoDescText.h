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

#include <boost/serialization/nvp.hpp>
#include <boost/serialization/string.hpp>

#include <string>

namespace kestrel {
namespace image {

// Archive wrappers: they refer to a record (const to write, mutable to read).
template <class Transform>
class image_transform_serialize {
public:
    explicit image_transform_serialize(Transform& transform) : transform(transform) {}

    template <class Archive>
    void serialize(Archive& archive, unsigned /*version*/) {
        archive & boost::serialization::make_nvp("rotate", transform.rotate);
        archive & boost::serialization::make_nvp("correct_orientantion",
                                                 transform.correct_orientantion);
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
        archive & boost::serialization::make_nvp("url", desc.url);
        image_transform transform = desc.transform;
        image_transform_serialize<image_transform> wrapper(transform);
        archive & boost::serialization::make_nvp("transform", wrapper);
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
