#pragma once
// What the fuzz targets share: the input bytes as a file, since the library
// opens media by path or reads an open file, and fields read from the
// input. A target that uses this also keeps the library quiet: its log and
// FFmpeg's would swamp the fuzzer's output and slow it down.

#include "base/DTUtils.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrel {
namespace fuzz {

// The bytes written to this process's scratch file (in TMPDIR, else /tmp,
// overwritten on every call and removed at exit); returns its path.
const std::string& as_file(const uint8_t* data, std::size_t size);

// A read-only stream over `bytes` (which must outlive it), for readers
// that take an open file: no file system work on every run.
FILEPtr as_memory_file(std::string& bytes);

// The input as text, for readers of downloaded bodies and addresses.
std::string as_text(const uint8_t* data, std::size_t size);

// Reads little-endian fields from the front of the input; past the end
// every field reads as 0.
class input_reader {
public:
    input_reader(const uint8_t* data, std::size_t size) : data_(data), left_(size) {}

    uint8_t byte();
    uint16_t u16();
    int32_t i32();
    // Up to `count` bytes from here on (fewer at the end).
    std::size_t take(std::size_t count, const uint8_t*& bytes);
    bool empty() const { return left_ == 0; }

private:
    const uint8_t* data_;
    std::size_t left_;
};

} // namespace fuzz
} // namespace kestrel
