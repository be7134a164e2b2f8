#pragma once
// The one EXIF property the slideshow uses: the orientation a camera stored
// instead of turning the pixels. Input is the payload of one JPEG APP
// segment (the bytes after its length field). Stateless; any thread.

#include <cstdint>
#include <vector>

namespace kestrel {
namespace image {
namespace image_exif {

// Writes the orientation tag's value (1 to 8 are meaningful, any other
// value is passed on as read) to `orientation`, or 0 when the payload holds
// no EXIF block or no orientation tag. Returns whether a tag was found.
// Malformed data never throws: what libexif cannot read counts as absent.
bool parse_image_properties(const std::vector<uint8_t>& bytes, int& orientation);

} // namespace image_exif
} // namespace image
} // namespace kestrel
