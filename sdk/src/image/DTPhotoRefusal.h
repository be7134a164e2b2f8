#pragma once
// Why the JPEG reader refuses a photo, in the words its errors carry for
// the user: "empty file", "not a JPEG file (it is a PNG)", "cut short",
// "too large: 65000×65000", "damaged: <libjpeg's words>" and the like; and
// why a photo it decoded all the same shows only in part.

#include <string>

struct jpeg_decompress_struct;

namespace kestrel {
namespace image {
namespace gil {

// For a file that does not start like a JPEG: what it is instead, when its
// first bytes (`head`, 16 are enough) tell (PNG, GIF, BMP, TIFF, WebP,
// HEIC, AVIF, PDF, Photoshop).
std::string not_a_jpeg_reason(const std::string& head);

std::string too_large_reason(unsigned long width, unsigned long height);
// A header that claims more pixels than a file of its length can hold.
std::string impossible_size_reason(unsigned long width, unsigned long height);

// A fatal libjpeg error: its message code, and whether the file ended
// before the data libjpeg wanted (the file is then cut short, whatever
// libjpeg made of the missing rest).
std::string libjpeg_failure_reason(const jpeg_decompress_struct& cinfo, int message_code, bool ended_early,
                                   const std::string& head);

// Whether a libjpeg warning means that part of the picture is lost or
// wrong (the decoder ran short of data, corrupt entropy data, a scan out of
// order), rather than a remark on a picture that is whole (extraneous
// bytes, an unknown JFIF version). The end of the file alone is not: a file
// may lack just its end marker.
bool is_damage_warning(int message_code);

// Why a photo decoded in spite of its file shows only in part: cut short
// ("cut short: the lower part is grey", or for a progressive file "cut
// short: shown with less detail or partly grey"), else damaged data.
std::string damage_reason(bool ended_early, bool progressive);

} // namespace gil
} // namespace image
} // namespace kestrel
