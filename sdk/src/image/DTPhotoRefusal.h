#pragma once
// Why the JPEG reader refuses a photo, in the words its errors carry for
// the user: "empty file", "not a JPEG file (it is a PNG)", "cut short",
// "too large: 65000×65000", "damaged: <libjpeg's words>" and the like.

#include <cstdio>
#include <string>

struct jpeg_decompress_struct;

namespace kestrel {
namespace image {
namespace gil {

// For a file that does not start like a JPEG: what it is instead, when its
// first bytes tell (PNG, GIF, BMP, TIFF, WebP, HEIC, AVIF, PDF, Photoshop).
std::string not_a_jpeg_reason(FILE* file);

std::string too_large_reason(unsigned long width, unsigned long height);
// A header that claims more pixels than a file of its length can hold.
std::string impossible_size_reason(unsigned long width, unsigned long height);

// A fatal libjpeg error: its message code, and whether the file ended
// before the data libjpeg wanted (the file is then cut short, whatever
// libjpeg made of the missing rest).
std::string libjpeg_failure_reason(const jpeg_decompress_struct& cinfo, int message_code, bool ended_early,
                                   FILE* file);

} // namespace gil
} // namespace image
} // namespace kestrel
