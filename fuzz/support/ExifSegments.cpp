#include "support/ExifSegments.h"

#include <algorithm>

namespace kestrel {
namespace fuzz {

namespace {

void put_u16(std::string& out, std::size_t value) {
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

} // namespace

std::vector<exif_segment> split_segments(const uint8_t* data, std::size_t size) {
    std::vector<exif_segment> segments;
    std::size_t at = 0;
    while (at < size) {
        exif_segment segment;
        segment.app = data[at++] % 16;
        std::size_t length = 0;
        for (int i = 0; i < 2; ++i)
            length = (length << 8) | (at < size ? data[at++] : 0);
        length = std::min({length, size - at, max_segment_payload});
        segment.payload.assign(reinterpret_cast<const char*>(data + at), length);
        at += length;
        segments.push_back(std::move(segment));
    }
    return segments;
}

std::string join_segments(const std::vector<exif_segment>& segments) {
    std::string out;
    for (const exif_segment& segment : segments) {
        const std::size_t length = std::min(segment.payload.size(), max_segment_payload);
        out += static_cast<char>(segment.app);
        put_u16(out, length);
        out.append(segment.payload, 0, length);
    }
    return out;
}

std::string insert_segments(const std::vector<exif_segment>& segments, const std::string& jpeg) {
    std::string out = jpeg.substr(0, 2);
    for (const exif_segment& segment : segments) {
        const std::size_t length = std::min(segment.payload.size(), max_segment_payload);
        out += '\xFF';
        out += static_cast<char>(0xE0 + segment.app);
        put_u16(out, length + 2);
        out.append(segment.payload, 0, length);
    }
    return out + jpeg.substr(std::min<std::size_t>(2, jpeg.size()));
}

} // namespace fuzz
} // namespace kestrel
