#include "support/TestJpeg.h"

#include <libexif/exif-data.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

extern "C" {
#include <jpeglib.h>
}

namespace kestrel {
namespace test {

namespace {

struct writer_errors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void writer_error_exit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<writer_errors*>(cinfo->err)->jump, 1);
}

int components_of(jpeg_colour colour) {
    switch (colour) {
    case jpeg_colour::grey:
        return 1;
    case jpeg_colour::cmyk:
    case jpeg_colour::cmyk_plain:
    case jpeg_colour::ycck:
        return 4;
    default:
        return 3;
    }
}

// Compresses into `out`; false when libjpeg failed. Plain values only in
// this frame, since libjpeg's errors jump back into it.
std::vector<jpeg_scan_info> scan_flood_script() {
    std::vector<jpeg_scan_info> scans;
    scans.push_back(jpeg_scan_info{3, {0, 1, 2, 0}, 0, 0, 0, 0});
    for (int component = 0; component < 3; ++component)
        for (int coefficient = 1; coefficient < 64; ++coefficient) {
            scans.push_back(jpeg_scan_info{1, {component, 0, 0, 0}, coefficient, coefficient, 0, 9});
            for (int bit = 8; bit >= 0; --bit)
                scans.push_back(jpeg_scan_info{1, {component, 0, 0, 0}, coefficient, coefficient, bit + 1, bit});
        }
    return scans;
}

bool compress(const jpeg_options& options, const row_painter& paint, std::vector<uint8_t>& row,
              const std::vector<jpeg_scan_info>& scans, unsigned char** out, unsigned long* size) {
    jpeg_compress_struct cinfo;
    writer_errors errors;
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = writer_error_exit;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, out, size);
    cinfo.image_width = static_cast<JDIMENSION>(options.width);
    cinfo.image_height = static_cast<JDIMENSION>(options.height);
    cinfo.input_components = components_of(options.colour);
    const int components = components_of(options.colour);
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    if (options.colour == jpeg_colour::ycck)
        jpeg_set_colorspace(&cinfo, JCS_YCCK);
    cinfo.write_Adobe_marker = options.colour == jpeg_colour::cmyk || options.colour == jpeg_colour::ycck;
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (options.progressive)
        jpeg_simple_progression(&cinfo);
    cinfo.restart_in_rows = options.restart_rows;
    if (!scans.empty()) {
        cinfo.scan_info = scans.data();
        cinfo.num_scans = static_cast<int>(scans.size());
    }
    jpeg_start_compress(&cinfo, TRUE);
    for (const auto& segment : options.app_segments)
        jpeg_write_marker(&cinfo, JPEG_APP0 + segment.first,
                          reinterpret_cast<const JOCTET*>(segment.second.data()),
                          static_cast<unsigned int>(segment.second.size()));
    JSAMPROW pointer = row.data();
    for (int y = 0; y < options.height; ++y) {
        paint(y, row.data());
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

std::string saved_exif(ExifData* data) {
    unsigned char* bytes = nullptr;
    unsigned int size = 0;
    exif_data_save_data(data, &bytes, &size);
    std::string payload(reinterpret_cast<const char*>(bytes), size);
    std::free(bytes);
    exif_data_unref(data);
    return payload;
}

ExifData* exif_with_orientation(int orientation, ExifByteOrder order, ExifIfd ifd) {
    ExifData* data = exif_data_new();
    exif_data_unset_option(data, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_set_byte_order(data, order);
    ExifEntry* entry = exif_entry_new();
    exif_content_add_entry(data->ifd[ifd], entry);
    exif_entry_initialize(entry, EXIF_TAG_ORIENTATION);
    exif_set_short(entry->data, order, static_cast<ExifShort>(orientation));
    exif_entry_unref(entry);
    if (ifd != EXIF_IFD_0) {
        // IFD 1 is only written after a non-empty IFD 0.
        ExifEntry* resolution = exif_entry_new();
        exif_content_add_entry(data->ifd[EXIF_IFD_0], resolution);
        exif_entry_initialize(resolution, EXIF_TAG_X_RESOLUTION);
        exif_entry_unref(resolution);
    }
    return data;
}

} // namespace

row_painter quadrant_painter(const jpeg_options& options) {
    const int width = options.width;
    const int height = options.height;
    const int components = components_of(options.colour);
    const uint8_t ink_flip = options.colour == jpeg_colour::cmyk_plain ? 0 : 255;
    return [=](int y, uint8_t* row) {
        static const uint8_t rgb[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
        static const uint8_t grey[4] = {0, 85, 170, 255};
        static const uint8_t inks[4][4] = {{0, 255, 255, 0}, {255, 0, 255, 0}, {255, 255, 0, 0}, {0, 0, 0, 0}};
        for (int x = 0; x < width; ++x) {
            const int quadrant = (y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0);
            for (int c = 0; c < components; ++c)
                row[x * components + c] = components == 1   ? grey[quadrant]
                                           : components == 4 ? static_cast<uint8_t>(inks[quadrant][c] ^ ink_flip)
                                                             : rgb[quadrant][c];
        }
    };
}

row_painter gradient_painter(int width, int height) {
    return [=](int y, uint8_t* row) {
        for (int x = 0; x < width; ++x) {
            row[x * 3] = static_cast<uint8_t>(x * 256 / width);
            row[x * 3 + 1] = static_cast<uint8_t>(y * 256 / height);
            row[x * 3 + 2] = static_cast<uint8_t>((x * 7 + y * 3) & 0xFF);
        }
    };
}

row_painter photo_like_painter(int width, int height, bool detailed) {
    const double texture = detailed ? 25.0 : 0.0;
    const uint32_t grain = detailed ? 8 : 0;
    return [=](int y, uint8_t* row) {
        uint32_t noise = 2166136261u ^ static_cast<uint32_t>(y) * 16777619u;
        const double v = static_cast<double>(y) / height;
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int speck = static_cast<int>((noise >> 24) % (2 * grain + 1)) - static_cast<int>(grain);
            const double u = static_cast<double>(x) / width;
            const double wave = 40.0 * std::sin(u * 37.0 + v * 23.0) * std::cos(v * 29.0 - u * 11.0);
            const double fine = texture * std::sin(x * 0.31 + 7.0 * std::sin(y * 0.013)) *
                                std::sin(y * 0.23 + 5.0 * std::sin(x * 0.011));
            const double channels[3] = {200.0 * u + 30.0 + wave + fine, 180.0 * v + 40.0 - wave + fine,
                                        120.0 * (1.0 - u * v) + 60.0 + wave / 2 + fine};
            for (int c = 0; c < 3; ++c) {
                const int value = static_cast<int>(channels[c]) + speck;
                row[x * 3 + c] = static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
            }
        }
    };
}

std::string make_jpeg(const jpeg_options& options, const row_painter& paint) {
    std::vector<uint8_t> row(static_cast<std::size_t>(options.width) * components_of(options.colour));
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    const std::vector<jpeg_scan_info> scans =
        options.scan_flood ? scan_flood_script() : std::vector<jpeg_scan_info>();
    const bool made = compress(options, paint, row, scans, &bytes, &size);
    std::string jpeg = made ? std::string(reinterpret_cast<const char*>(bytes), size) : std::string();
    std::free(bytes);
    if (!made)
        throw std::runtime_error("libjpeg could not write the test picture");
    return jpeg;
}

std::string make_jpeg(const jpeg_options& options) { return make_jpeg(options, quadrant_painter(options)); }

std::string exif_payload(int orientation, exif_byte_order order, bool in_thumbnail_ifd) {
    return saved_exif(exif_with_orientation(
        orientation, order == exif_byte_order::intel ? EXIF_BYTE_ORDER_INTEL : EXIF_BYTE_ORDER_MOTOROLA,
        in_thumbnail_ifd ? EXIF_IFD_1 : EXIF_IFD_0));
}

std::string exif_payload_with_thumbnail(int orientation, std::size_t thumbnail_bytes) {
    ExifData* data = exif_with_orientation(orientation, EXIF_BYTE_ORDER_INTEL, EXIF_IFD_0);
    data->data = static_cast<unsigned char*>(std::malloc(thumbnail_bytes));
    data->size = static_cast<unsigned int>(thumbnail_bytes);
    for (std::size_t i = 0; i < thumbnail_bytes; ++i)
        data->data[i] = static_cast<unsigned char>(i * 7 + 3);
    return saved_exif(data);
}

std::string exif_payload_with_bad_offset(int orientation) {
    // "Exif\0\0", then the TIFF header: byte order, 42, offset of IFD 0.
    std::string payload = exif_payload(orientation);
    const uint32_t garbage = 0x7ffffff0u;
    std::memcpy(&payload[6 + 4], &garbage, 4); // little-endian, like the block
    return payload;
}

namespace {

std::size_t frame_header(const std::string& jpeg) {
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        const auto marker = static_cast<uint8_t>(jpeg[i + 1]);
        if (static_cast<uint8_t>(jpeg[i]) == 0xFF && (marker == 0xC0 || marker == 0xC1 || marker == 0xC2))
            return i;
    }
    throw std::runtime_error("no frame header in the test picture");
}

} // namespace

void set_frame_size(std::string& jpeg, int width, int height) {
    const std::size_t at = frame_header(jpeg);
    // FF Cx, length (2), precision (1), height (2), width (2): big-endian.
    jpeg[at + 5] = static_cast<char>(height >> 8);
    jpeg[at + 6] = static_cast<char>(height & 0xFF);
    jpeg[at + 7] = static_cast<char>(width >> 8);
    jpeg[at + 8] = static_cast<char>(width & 0xFF);
}

void set_frame_precision(std::string& jpeg, int bits) {
    jpeg[frame_header(jpeg) + 4] = static_cast<char>(bits);
}

} // namespace test
} // namespace kestrel
