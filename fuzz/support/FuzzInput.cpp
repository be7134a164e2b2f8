#include "support/FuzzInput.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <unistd.h>

namespace kestrel {
namespace fuzz {

namespace {

struct scratch_file {
    std::string path;
    scratch_file() {
        const char* folder = std::getenv("TMPDIR");
        path = std::string(folder && *folder ? folder : "/tmp") + "/kestrel-fuzz-" +
               std::to_string(getpid()) + ".bin";
    }
    ~scratch_file() { std::remove(path.c_str()); }
};

// Silences the library's log lines (they go to std::cout) from the start.
const struct quiet_library {
    quiet_library() { std::cout.setstate(std::ios::badbit); }
} quiet;

} // namespace

const std::string& as_file(const uint8_t* data, std::size_t size) {
    static scratch_file file;
    std::ofstream out(file.path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return file.path;
}

FILEPtr as_memory_file(std::string& bytes) {
    FILE* file = bytes.empty() ? nullptr : fmemopen(&bytes[0], bytes.size(), "rb");
    return FILEPtr(file, [](FILE* f) {
        if (f)
            std::fclose(f);
    });
}

std::string as_text(const uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

uint8_t input_reader::byte() {
    if (left_ == 0)
        return 0;
    --left_;
    return *data_++;
}

uint16_t input_reader::u16() {
    const uint16_t low = byte();
    return static_cast<uint16_t>(low | (byte() << 8));
}

int32_t input_reader::i32() {
    uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8)
        value |= static_cast<uint32_t>(byte()) << shift;
    return static_cast<int32_t>(value);
}

std::size_t input_reader::take(std::size_t count, const uint8_t*& bytes) {
    const std::size_t taken = count < left_ ? count : left_;
    bytes = data_;
    data_ += taken;
    left_ -= taken;
    return taken;
}

} // namespace fuzz
} // namespace kestrel
