#pragma once
// The input layout of the exif_orientation target: a run of JPEG APP
// segments, each one byte for its APP number (taken modulo 16), a
// big-endian 16-bit payload length and the payload. A record cut short by
// the end of the input keeps what is there; payloads longer than one JPEG
// segment holds are cut to that.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {
namespace fuzz {

struct exif_segment {
    int app;             // 0 to 15: APP0 ... APP15
    std::string payload; // the bytes after the segment's length field
};

// The most payload one segment carries: its length field counts itself.
const std::size_t max_segment_payload = 65533;

std::vector<exif_segment> split_segments(const uint8_t* data, std::size_t size);
std::string join_segments(const std::vector<exif_segment>& segments);

// The segments as they sit in a JPEG file, between the start of image
// and the rest of `jpeg` (a whole file whose first two bytes are its start).
std::string insert_segments(const std::vector<exif_segment>& segments, const std::string& jpeg);

} // namespace fuzz
} // namespace kestrel
