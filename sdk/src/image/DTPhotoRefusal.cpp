#include "DTPhotoRefusal.h"

#include <unistd.h>

#include <cstring>

extern "C" {
#include <jpeglib.h>
#include <jerror.h>
}

namespace kestrel {
namespace image {
namespace gil {

namespace {

bool starts_with(const unsigned char* head, std::size_t size, std::size_t at, const char* magic,
                 std::size_t length) {
    return size >= at + length && std::memcmp(head + at, magic, length) == 0;
}

// The kind of picture (or document) a file's first bytes announce.
const char* file_kind(const unsigned char* head, std::size_t size) {
    struct signature {
        std::size_t at;
        const char* magic;
        std::size_t length;
        const char* kind;
    };
    static const signature signatures[] = {
        {0, "\x89PNG", 4, "PNG"},        {0, "GIF8", 4, "GIF"},          {0, "BM", 2, "BMP"},
        {0, "II*\0", 4, "TIFF"},         {0, "MM\0*", 4, "TIFF"},        {8, "WEBP", 4, "WebP"},
        {4, "ftypheic", 8, "HEIC"},      {4, "ftypheix", 8, "HEIC"},     {4, "ftypmif1", 8, "HEIC"},
        {4, "ftypavif", 8, "AVIF"},      {0, "%PDF", 4, "PDF"},          {0, "8BPS", 4, "Photoshop"},
    };
    for (const signature& s : signatures)
        if (starts_with(head, size, s.at, s.magic, s.length))
            return s.kind;
    return nullptr;
}

// libjpeg's formatted text for the error it raised.
std::string libjpeg_text(const jpeg_decompress_struct& cinfo) {
    char text[JMSG_LENGTH_MAX] = {0};
    j_common_ptr common = reinterpret_cast<j_common_ptr>(const_cast<jpeg_decompress_struct*>(&cinfo));
    cinfo.err->format_message(common, text);
    return text;
}

} // namespace

std::string not_a_jpeg_reason(FILE* file) {
    unsigned char head[16] = {0};
    // Read at the start whatever libjpeg consumed: pread leaves the stream alone.
    const ssize_t got = file ? ::pread(fileno(file), head, sizeof head, 0) : -1;
    const char* kind = got > 0 ? file_kind(head, static_cast<std::size_t>(got)) : nullptr;
    return kind ? std::string("not a JPEG file (it is a ") + kind + ")" : "not a JPEG file";
}

namespace {

std::string size_text(unsigned long width, unsigned long height) {
    return std::to_string(width) + "\u00d7" + std::to_string(height);
}

} // namespace

std::string too_large_reason(unsigned long width, unsigned long height) {
    return "too large: " + size_text(width, height);
}

std::string impossible_size_reason(unsigned long width, unsigned long height) {
    return "cut short or damaged: its header claims " + size_text(width, height) + " pixels";
}

std::string libjpeg_failure_reason(const jpeg_decompress_struct& cinfo, int message_code, bool ended_early,
                                   FILE* file) {
    switch (message_code) {
    case JERR_INPUT_EMPTY:
        return "empty file";
    case JERR_NO_SOI:
        return not_a_jpeg_reason(file);
    case JERR_INPUT_EOF:
        return "cut short";
    case JERR_IMAGE_TOO_BIG:
        return too_large_reason(cinfo.image_width, cinfo.image_height);
    case JERR_OUT_OF_MEMORY:
        return "too large to decode in the memory there is";
    case JERR_BAD_PRECISION:
        return "unsupported JPEG: " + std::to_string(cinfo.data_precision) + " bits per sample";
    case JERR_ARITH_NOTIMPL:
    case JERR_NOT_COMPILED:
    case JERR_NOTIMPL:
    case JERR_CONVERSION_NOTIMPL:
    case JERR_CCIR601_NOTIMPL:
    case JERR_BAD_J_COLORSPACE:
    case JERR_EMPTY_IMAGE:
        return "unsupported JPEG: " + libjpeg_text(cinfo);
    default:
        // A file that ended early makes libjpeg stumble on what it made up
        // for the missing rest: the cause is the missing rest.
        return ended_early ? "cut short" : "damaged: " + libjpeg_text(cinfo);
    }
}

} // namespace gil
} // namespace image
} // namespace kestrel
