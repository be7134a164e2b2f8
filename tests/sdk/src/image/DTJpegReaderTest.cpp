#include "base/DTErrors.h"
#include "base/DTLog.h"
#include "image/DTJpegReader.h"
#include "image/DTPhotoFile.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"
#include "support/TestPhotos.h"

#include <gtest/gtest.h>

#include <boost/gil/image.hpp>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace kestrel;
using namespace kestrel::image::gil;
using kestrel::test::jpeg_options;

namespace {

struct decoded {
    boost::gil::rgb8_image_t image;
    int orientation;
};

decoded decode(const std::string& path, unsigned int denominator = 1, int orientation = -1) {
    jpeg_reader_ptr reader = open_jpeg(path);
    set_jpeg_scale(*reader, 1, denominator);
    decoded result;
    result.orientation = reader->orientation();
    read_jpeg_scaled(*reader, result.image, orientation);
    return result;
}

std::string write_jpeg(const test::TempDir& dir, const std::string& name, const std::string& bytes) {
    const std::string path = dir.file(name);
    test::write_file(path, bytes);
    return path;
}

// The segment an EXIF block travels in: APP1.
std::pair<int, std::string> app1(const std::string& payload) { return {1, payload}; }

void expect_near_colour(const boost::gil::rgb8_pixel_t& pixel, int r, int g, int b, const std::string& where) {
    EXPECT_NEAR(pixel[0], r, 12) << where;
    EXPECT_NEAR(pixel[1], g, 12) << where;
    EXPECT_NEAR(pixel[2], b, 12) << where;
}

} // namespace

// The quadrants red, green, blue, white land where they were painted, at
// every DCT scale, and the sizes follow libjpeg's rounding up.
TEST(JpegReader, DecodesColoursAndSizesAtEachScale) {
    test::TempDir dir;
    jpeg_options options;
    options.width = 203;
    options.height = 101;
    const std::string path = write_jpeg(dir, "quadrants.jpg", test::make_jpeg(options));
    struct scale_case {
        unsigned int denominator;
        int width;
        int height;
    };
    for (const scale_case& c : {scale_case{1, 203, 101}, scale_case{2, 102, 51}, scale_case{4, 51, 26},
                                scale_case{8, 26, 13}}) {
        const decoded d = decode(path, c.denominator);
        ASSERT_EQ(c.width, d.image.width()) << "1/" << c.denominator;
        ASSERT_EQ(c.height, d.image.height()) << "1/" << c.denominator;
        const auto view = boost::gil::const_view(d.image);
        const int qx = c.width / 4, qy = c.height / 4;
        const std::string scale = "1/" + std::to_string(c.denominator);
        expect_near_colour(view(qx, qy), 255, 0, 0, scale + " top left");
        expect_near_colour(view(3 * qx, qy), 0, 255, 0, scale + " top right");
        expect_near_colour(view(qx, 3 * qy), 0, 0, 255, scale + " bottom left");
        expect_near_colour(view(3 * qx, 3 * qy), 255, 255, 255, scale + " bottom right");
    }
}

// Greyscale, CMYK (Adobe's inverted inks or plain ones) and YCCK files
// come out as the colours they were painted with, at full and DCT scale.
TEST(JpegReader, DecodesGreyAndPrintColoursAsRgb) {
    struct colour_case {
        const char* what;
        test::jpeg_colour colour;
        int quadrants[4][3]; // top left, top right, bottom left, bottom right
    };
    const int primaries[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    const auto print = [&](const char* what, test::jpeg_colour colour) {
        colour_case c{what, colour, {}};
        std::copy(&primaries[0][0], &primaries[0][0] + 12, &c.quadrants[0][0]);
        return c;
    };
    const colour_case cases[] = {
        {"grey", test::jpeg_colour::grey, {{0, 0, 0}, {85, 85, 85}, {170, 170, 170}, {255, 255, 255}}},
        print("CMYK, Adobe's inverted inks", test::jpeg_colour::cmyk),
        print("CMYK, plain inks", test::jpeg_colour::cmyk_plain),
        print("YCCK", test::jpeg_colour::ycck),
    };
    test::TempDir dir;
    for (const colour_case& c : cases) {
        jpeg_options options;
        options.width = 96;
        options.height = 64;
        options.colour = c.colour;
        options.app_segments = {app1(test::exif_payload(3))}; // turned 180 degrees
        const std::string path = write_jpeg(dir, "print.jpg", test::make_jpeg(options));
        for (unsigned int denominator : {1u, 4u}) {
            const decoded d = decode(path, denominator);
            const auto view = boost::gil::const_view(d.image);
            const int qx = static_cast<int>(view.width()) / 4, qy = static_cast<int>(view.height()) / 4;
            const std::string where = std::string(c.what) + " at 1/" + std::to_string(denominator);
            // Turned: the painted top left is now bottom right.
            const int at[4][2] = {{3 * qx, 3 * qy}, {qx, 3 * qy}, {3 * qx, qy}, {qx, qy}};
            for (int q = 0; q < 4; ++q)
                expect_near_colour(view(at[q][0], at[q][1]), c.quadrants[q][0], c.quadrants[q][1],
                                   c.quadrants[q][2], where + ", quadrant " + std::to_string(q));
        }
    }
}

// Every orientation tag stores decoded pixel (x, y) of the w x h picture
// at its own place; checked pixel by pixel against the upright decode.
TEST(JpegReader, EachOrientationTagMovesEveryPixelToItsPlace) {
    const int w = 37, h = 23;
    struct placement {
        int orientation;
        int (*column)(int x, int y, int w, int h);
        int (*row)(int x, int y, int w, int h);
    };
    const placement placements[] = {
        {1, [](int x, int, int, int) { return x; }, [](int, int y, int, int) { return y; }},
        {2, [](int x, int, int w, int) { return w - 1 - x; }, [](int, int y, int, int) { return y; }},
        {3, [](int x, int, int w, int) { return w - 1 - x; }, [](int, int y, int, int h) { return h - 1 - y; }},
        {4, [](int x, int, int, int) { return x; }, [](int, int y, int, int h) { return h - 1 - y; }},
        {5, [](int, int y, int, int) { return y; }, [](int x, int, int, int) { return x; }},
        {6, [](int, int y, int, int h) { return h - 1 - y; }, [](int x, int, int, int) { return x; }},
        {7, [](int, int y, int, int h) { return h - 1 - y; }, [](int x, int, int w, int) { return w - 1 - x; }},
        {8, [](int, int y, int, int) { return y; }, [](int x, int, int w, int) { return w - 1 - x; }},
        {9, [](int x, int, int, int) { return x; }, [](int, int y, int, int) { return y; }},
    };
    test::TempDir dir;
    for (const placement& p : placements) {
        jpeg_options options;
        options.width = w;
        options.height = h;
        options.app_segments = {app1(test::exif_payload(p.orientation))};
        const std::string path =
            write_jpeg(dir, "photo.jpg", test::make_jpeg(options, test::photo_like_painter(w, h, true)));
        const decoded upright = decode(path, 1, 0);
        const decoded turned = decode(path);
        EXPECT_EQ(p.orientation, turned.orientation);
        const bool swapped = p.orientation >= 5 && p.orientation <= 8;
        ASSERT_EQ(swapped ? h : w, turned.image.width()) << "orientation " << p.orientation;
        ASSERT_EQ(swapped ? w : h, turned.image.height()) << "orientation " << p.orientation;
        const auto source = boost::gil::const_view(upright.image);
        const auto target = boost::gil::const_view(turned.image);
        int mismatches = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                mismatches += target(p.column(x, y, w, h), p.row(x, y, w, h)) != source(x, y);
        EXPECT_EQ(0, mismatches) << "orientation " << p.orientation;
    }
}

// A camera photo held on its side: 4000 x 3000 tagged 6, decoded at 1/4.
TEST(JpegReader, CameraPhotoTurnedByItsTagAtQuarterScale) {
    const std::string path = test::camera_photo(6);
    const decoded turned = decode(path, 4);
    const decoded upright = decode(path, 4, 0);
    EXPECT_EQ(6, turned.orientation);
    ASSERT_EQ(750, turned.image.width());
    ASSERT_EQ(1000, turned.image.height());
    ASSERT_EQ(1000, upright.image.width());
    const auto first_row = boost::gil::const_view(upright.image);
    const auto right_column = boost::gil::const_view(turned.image);
    for (int x = 0; x < 1000; ++x)
        ASSERT_EQ(first_row(x, 0), right_column(749, x)) << "decoded column " << x;
}

// Which orientation the header leaves, segment by segment.
TEST(JpegReader, OrientationFromTheHeadersSegments) {
    struct segments_case {
        const char* what;
        std::vector<std::pair<int, std::string>> segments;
        int orientation;
    };
    const std::string exif6 = test::exif_payload(6);
    const segments_case cases[] = {
        {"no EXIF", {{10, "no tags here"}}, 0},
        {"little-endian 6", {app1(exif6)}, 6},
        {"big-endian 6", {app1(test::exif_payload(6, test::exif_byte_order::motorola))}, 6},
        {"only in the thumbnail's IFD", {app1(test::exif_payload(8, test::exif_byte_order::intel, true))}, 8},
        {"kept past a later APP12 without one", {app1(exif6), {12, "Ducky\x01\x02"}}, 6},
        {"a later EXIF segment wins", {app1(exif6), {3, test::exif_payload(3)}}, 3},
        {"empty segment (length 2) changes nothing", {app1(exif6), {4, ""}}, 6},
        {"value 0 as read", {app1(test::exif_payload(0))}, 0},
        {"value 9 as read", {app1(test::exif_payload(9))}, 9},
        {"garbage IFD offset", {app1(test::exif_payload_with_bad_offset(6))}, 0},
        {"huge thumbnail", {app1(test::exif_payload_with_thumbnail(5, 65000))}, 5},
    };
    test::TempDir dir;
    for (const segments_case& c : cases) {
        jpeg_options options;
        options.app_segments = c.segments;
        const std::string path = write_jpeg(dir, "tagged.jpg", test::make_jpeg(options));
        const decoded d = decode(path);
        EXPECT_EQ(c.orientation, d.orientation) << c.what;
        const bool swapped = c.orientation >= 5 && c.orientation <= 8;
        EXPECT_EQ(swapped ? 48 : 64, d.image.width()) << c.what;
    }
}

TEST(JpegReader, DecodingIntoAnImageOfTheRightSizeReusesItsMemory) {
    test::TempDir dir;
    const std::string path = write_jpeg(dir, "photo.jpg", test::make_jpeg(jpeg_options()));
    boost::gil::rgb8_image_t image(64, 48);
    const auto* memory = &boost::gil::view(image)(0, 0);
    read_jpeg_scaled(*open_jpeg(path), image);
    EXPECT_EQ(memory, &boost::gil::view(image)(0, 0));
    boost::gil::rgb8_image_t aligned(64, 48, 16);
    read_jpeg_scaled(*open_jpeg(path), aligned);
    EXPECT_EQ(64 * 3, boost::gil::view(aligned).pixels().row_size());
}

namespace {

enum class outcome { picture, error, failure };

struct bad_file {
    const char* what;
    std::string (*make)(const test::TempDir& dir);
    outcome expected;
    const char* text; // what() of a refusal, the reason the user sees; else part of the log
    const char* damage = ""; // of a picture: why it shows only in part
};

std::string named(const test::TempDir& dir, const std::string& bytes, const char* name = "photo.jpg") {
    return write_jpeg(dir, name, bytes);
}

std::string big_photo() {
    jpeg_options options;
    options.width = 320;
    options.height = 240;
    return test::make_jpeg(options, test::photo_like_painter(320, 240, true));
}

std::string big_progressive_photo() {
    jpeg_options options;
    options.width = 320;
    options.height = 240;
    options.progressive = true;
    return test::make_jpeg(options, test::photo_like_painter(320, 240, true));
}

// Every scan of a progressive file passes over the whole picture: an
// 8-megapixel file whose DC refinement scan (the seventh, which needs no
// Huffman table) is repeated until the file has 600 scans.
std::string many_scans_photo() {
    jpeg_options options;
    options.width = 4096;
    options.height = 2048;
    options.progressive = true;
    std::string jpeg = test::make_jpeg(options);
    std::size_t start = 0;
    for (int scan = 0; scan < 7; ++scan)
        start = jpeg.find("\xFF\xDA", start + 1);
    std::size_t end = start + 2;
    while (!(jpeg[end] == '\xFF' && jpeg[end + 1] != '\0' && (jpeg[end + 1] & 0xF8) != 0xD0))
        ++end;
    const std::string scan = jpeg.substr(start, end - start);
    std::string repeated;
    for (int i = 0; i < 590; ++i)
        repeated += scan;
    return jpeg.insert(jpeg.size() - 2, repeated);
}

// The photo's scan data with `bytes` written over its middle.
std::string overwritten_in_its_picture(std::string jpeg, const std::string& bytes) {
    const std::size_t scan = jpeg.find("\xFF\xDA");
    return jpeg.replace(scan + (jpeg.size() - scan) / 2, bytes.size(), bytes);
}

const bad_file bad_files[] = {
    {"missing file", [](const test::TempDir& dir) { return dir.file("missing.jpg"); }, outcome::failure,
     "not found"},
    {"0-byte file", [](const test::TempDir& dir) { return named(dir, ""); }, outcome::error, "empty file"},
    {"text named .jpg", [](const test::TempDir& dir) { return named(dir, "hello, photo\n"); }, outcome::error,
     "not a JPEG file"},
    {"PNG named .jpg",
     [](const test::TempDir& dir) { return named(dir, std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)); },
     outcome::error, "not a JPEG file (it is a PNG)"},
    {"HEIC named .jpg",
     [](const test::TempDir& dir) { return named(dir, std::string("\0\0\0\x18" "ftypheic\0\0\0\0", 16)); },
     outcome::error, "not a JPEG file (it is a HEIC)"},
    {"folder given as a photo",
     [](const test::TempDir& dir) {
         std::filesystem::create_directory(dir.file("folder.jpg"));
         return dir.file("folder.jpg");
     },
     outcome::failure, "a folder, not a file"},
    {"cut in its header",
     [](const test::TempDir& dir) { return named(dir, big_photo().substr(0, 200)); }, outcome::error,
     "cut short"},
    {"cut at 10 %",
     [](const test::TempDir& dir) {
         const std::string jpeg = big_photo();
         return named(dir, jpeg.substr(0, jpeg.size() / 10));
     },
     outcome::picture, "Premature end of JPEG file", "cut short: the lower part is grey"},
    {"cut at 60 %",
     [](const test::TempDir& dir) {
         const std::string jpeg = big_photo();
         return named(dir, jpeg.substr(0, jpeg.size() * 6 / 10));
     },
     outcome::picture, "Premature end of JPEG file", "cut short: the lower part is grey"},
    {"missing only its end marker",
     [](const test::TempDir& dir) {
         const std::string jpeg = big_photo();
         return named(dir, jpeg.substr(0, jpeg.size() - 2));
     },
     outcome::picture, "Premature end of JPEG file"},
    {"progressive without its last scan",
     [](const test::TempDir& dir) {
         const std::string jpeg = big_progressive_photo();
         return named(dir, jpeg.substr(0, jpeg.rfind("\xFF\xDA")));
     },
     outcome::picture, "Premature end of JPEG file", "cut short: shown with less detail or partly grey"},
    {"progressive missing only its end marker",
     [](const test::TempDir& dir) {
         const std::string jpeg = big_progressive_photo();
         return named(dir, jpeg.substr(0, jpeg.size() - 2));
     },
     outcome::picture, "Premature end of JPEG file"},
    {"end marker inside its picture data",
     [](const test::TempDir& dir) { return named(dir, overwritten_in_its_picture(big_photo(), "\xFF\xD9")); },
     outcome::picture, "Corrupt JPEG data", "damaged: parts of the picture may be wrong"},
    {"extraneous bytes before its picture data",
     [](const test::TempDir& dir) {
         std::string jpeg = big_photo();
         return named(dir, jpeg.insert(jpeg.find("\xFF\xDA"), std::string(3, '\0')));
     },
     outcome::picture, "3 extraneous bytes before marker 0xda"},
    {"header claims 60000 x 60000 in a small file",
     [](const test::TempDir& dir) {
         std::string jpeg = test::make_jpeg(jpeg_options());
         test::set_frame_size(jpeg, 60000, 60000);
         return named(dir, jpeg);
     },
     outcome::failure, "too large: 60000\u00d760000"},
    {"header claims 8000 x 8000 in a small file",
     [](const test::TempDir& dir) {
         std::string jpeg = test::make_jpeg(jpeg_options());
         test::set_frame_size(jpeg, 8000, 8000);
         return named(dir, jpeg);
     },
     outcome::failure, "cut short or damaged: its header claims 8000\u00d78000 pixels"},
    {"12-bit samples",
     [](const test::TempDir& dir) {
         std::string jpeg = test::make_jpeg(jpeg_options());
         test::set_frame_precision(jpeg, 12);
         return named(dir, jpeg);
     },
     outcome::error, "unsupported JPEG: 12 bits per sample"},
    {"progressive",
     [](const test::TempDir& dir) {
         jpeg_options options;
         options.progressive = true;
         return named(dir, test::make_jpeg(options));
     },
     outcome::picture, "jpeg header found"},
    {"1891 scans",
     [](const test::TempDir& dir) {
         jpeg_options options;
         options.scan_flood = true;
         return named(dir, test::make_jpeg(options));
     },
     outcome::failure, "damaged: too many scans"},
    {"8 megapixels in 600 scans", [](const test::TempDir& dir) { return named(dir, many_scans_photo()); },
     outcome::failure, "damaged: too many scans"},
    {"non-ASCII file name",
     [](const test::TempDir& dir) { return named(dir, test::make_jpeg(jpeg_options()), "фото-写真.jpg"); },
     outcome::picture, "jpeg header found"},
};

void PrintTo(const bad_file& c, std::ostream* out) { *out << c.what; }

class JpegReaderBadInput : public testing::TestWithParam<bad_file> {};

} // namespace

// Every file gives either a picture or the reader's error with its text:
// never a crash, a hang or a read through an empty handle.
TEST_P(JpegReaderBadInput, GivesAPictureOrTheReadersError) {
    const bad_file& c = GetParam();
    test::TempDir dir;
    const std::string path = c.make(dir);
    testing::internal::CaptureStdout();
    outcome got = outcome::picture;
    std::string message, damage;
    boost::gil::rgb8_image_t image;
    try {
        const jpeg_reader_ptr reader = open_jpeg(path);
        read_jpeg_scaled(*reader, image);
        damage = reader->damage();
    } catch (const errors::failure& e) {
        got = outcome::failure;
        message = e.what();
    } catch (const errors::error& e) {
        got = outcome::error;
        message = e.what();
    }
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(c.expected, got) << c.what << ": " << message << "\n" << log;
    if (c.expected == outcome::picture)
        EXPECT_NE(std::string::npos, log.find(c.text)) << c.what << "\n" << log;
    else
        EXPECT_EQ(c.text, message) << c.what;
    if (c.expected == outcome::error) {
        EXPECT_NE(std::string::npos, log.find("[kestrel][error][jpeg_reader][libjpeg] fatal error")) << log;
        EXPECT_NE(std::string::npos, log.find("[kestrel][error][jpeg_reader][libjpeg] message : ")) << log;
    }
    if (c.expected == outcome::picture) {
        EXPECT_GT(image.width(), 0) << c.what;
        EXPECT_GT(image.height(), 0) << c.what;
        EXPECT_EQ(c.damage, damage) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(AllCases, JpegReaderBadInput, testing::ValuesIn(bad_files),
                         [](const testing::TestParamInfo<bad_file>& info) {
                             std::string name;
                             for (const char* c = info.param.what; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

// The truncated file's warning is a warning naming the file, and its lost
// rows come out grey.
TEST(JpegReader, TruncatedFileIsPaddedWithGrey) {
    test::TempDir dir;
    jpeg_options options;
    options.width = 320;
    options.height = 240;
    const std::string jpeg = test::make_jpeg(options);
    const std::string path = write_jpeg(dir, "cut.jpg", jpeg.substr(0, jpeg.size() / 2));
    testing::internal::CaptureStdout();
    const decoded d = decode(path);
    const std::string log = testing::internal::GetCapturedStdout();
    // Named, so that whoever reads the log knows which photo it was.
    EXPECT_NE(std::string::npos, log.find("[kestrel][warning][jpeg_reader][libjpeg] message : Premature end of "
                                          "JPEG file : " + log_quoted(path)))
        << log;
    const auto last = boost::gil::const_view(d.image)(160, 239);
    EXPECT_NEAR(last[0], 128, 4);
    EXPECT_NEAR(last[1], 128, 4);
    EXPECT_NEAR(last[2], 128, 4);
}
