#pragma once
// JPEG files made in the test with libjpeg (and EXIF blocks with libexif),
// so that every photo a test reads has a known size, colour layout and tag.
// Nothing here uses GoogleTest: the benchmarks build it too.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kestrel {
namespace test {

// cmyk and ycck store the inks inverted (255 is no ink) under Adobe's
// marker, as Adobe's tools write them; cmyk_plain stores plain inks and no
// marker.
enum class jpeg_colour { rgb, grey, cmyk, cmyk_plain, ycck };

// Fills one row of `width` pixels of as many components as the colour has.
typedef std::function<void(int y, uint8_t* row)> row_painter;

struct jpeg_options {
    int width = 64;
    int height = 48;
    int quality = 90;
    bool progressive = false;
    // A valid progressive file of 1891 scans: every AC coefficient of every
    // component sent alone, one bit at a time.
    bool scan_flood = false;
    // MCU rows between restart markers; 0 writes none.
    int restart_rows = 0;
    jpeg_colour colour = jpeg_colour::rgb;
    // APP segments written right after the start of image, in this order:
    // marker number 0 to 15 (APP0 ... APP15) and payload.
    std::vector<std::pair<int, std::string>> app_segments;
};

// The four quadrants red, green, blue and white (any component count;
// black, dark grey, light grey and white in greyscale).
row_painter quadrant_painter(const jpeg_options& options);
// Red across, green down and a fine blue pattern: cheap to paint at
// camera sizes, and no two neighbouring pixels alike.
row_painter gradient_painter(int width, int height);
// Colour gradients and broad waves, like a photo: smooth ones compress to
// about 0.3 bits per pixel; `detailed` adds fine texture and sensor-like
// grain, about 2.6 bits per pixel at quality 92, like a camera's own JPEG.
row_painter photo_like_painter(int width, int height, bool detailed);

std::string make_jpeg(const jpeg_options& options, const row_painter& paint);
std::string make_jpeg(const jpeg_options& options);

enum class exif_byte_order { intel, motorola };
// An APP1 payload ("Exif\0\0" and a TIFF block) holding the orientation tag
// in IFD 0, or in IFD 1 (the thumbnail's) when `in_thumbnail_ifd`.
std::string exif_payload(int orientation, exif_byte_order order = exif_byte_order::intel,
                         bool in_thumbnail_ifd = false);
// An APP1 payload with an orientation and an embedded thumbnail of about
// `thumbnail_bytes` bytes, as large as one APP segment allows.
std::string exif_payload_with_thumbnail(int orientation, std::size_t thumbnail_bytes);
// EXIF with one IFD entry whose value offset points far outside the block.
std::string exif_payload_with_bad_offset(int orientation);

// Byte edits on a whole JPEG file: the frame header's size and precision.
void set_frame_size(std::string& jpeg, int width, int height);
void set_frame_precision(std::string& jpeg, int bits);

} // namespace test
} // namespace kestrel
