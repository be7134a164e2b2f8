#include "image/DTImageExif.h"
#include "support/TestJpeg.h"

#include <gtest/gtest.h>

using namespace kestrel;

namespace {
std::vector<uint8_t> bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }
} // namespace

TEST(ImageExif, ReportsTheTagAndWhetherItWasThere) {
    struct exif_case {
        const char* what;
        std::string payload;
        bool found;
        int orientation;
    };
    const exif_case cases[] = {
        {"empty payload", "", false, 0},
        {"not EXIF", "Ducky\x01\x02\x03", false, 0},
        {"EXIF header only", std::string("Exif\0\0", 6), false, 0},
        {"cut inside the TIFF header", test::exif_payload(6).substr(0, 12), false, 0},
        {"little-endian", test::exif_payload(6), true, 6},
        {"big-endian", test::exif_payload(6, test::exif_byte_order::motorola), true, 6},
        {"thumbnail IFD", test::exif_payload(3, test::exif_byte_order::motorola, true), true, 3},
        {"garbage IFD offset", test::exif_payload_with_bad_offset(6), false, 0},
    };
    for (const exif_case& c : cases) {
        int orientation = -1;
        EXPECT_EQ(c.found, image::image_exif::parse_image_properties(bytes(c.payload), orientation)) << c.what;
        EXPECT_EQ(c.orientation, orientation) << c.what;
    }
}
