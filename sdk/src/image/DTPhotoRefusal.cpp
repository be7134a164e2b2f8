#include "DTPhotoRefusal.h"

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

std::string not_a_jpeg_reason(const std::string& head) {
    const char* kind = file_kind(reinterpret_cast<const unsigned char*>(head.data()), head.size());
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
                                   const std::string& head) {
    switch (message_code) {
    case JERR_INPUT_EMPTY:
        return "empty file";
    case JERR_NO_SOI:
        return not_a_jpeg_reason(head);
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

bool is_damage_warning(int message_code) {
    switch (message_code) {
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
        return true;
    default:
        return false;
    }
}

std::string damage_reason(bool ended_early, bool progressive) {
    if (!ended_early)
        return "damaged: parts of the picture may be wrong";
    // A progressive file sends the whole picture coarse first: what it lost
    // is detail, or the lower part when it ended in its first scans.
    return progressive ? "cut short: shown with less detail or partly grey" : "cut short: the lower part is grey";
}

} // namespace gil
} // namespace image
} // namespace kestrel
