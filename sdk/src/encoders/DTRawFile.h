#pragma once
// The simplest output: every packet's bytes, unchanged and in the order
// given, one after another in one file, without header or framing. It
// serves the PPM picture writer, whose packets are whole pictures.

#include "base/DTUtils.h"
#include "encoders/DTMediaMuxer.h"

#include <string>

namespace kestrel {

class raw_file_impl : public media_muxer::Impl {
public:
    // Creates or empties the file at once; errors::create_file when it
    // cannot be opened.
    explicit raw_file_impl(const std::string& path);
    explicit raw_file_impl(const char* path);

    void open() override {}
    // errors::unexpected after close or when the bytes cannot be written
    // (full disk); an empty packet pointer writes nothing.
    void write_packet(media_packet_ptr packet) override;
    // Later calls do nothing; errors::unexpected when buffered bytes cannot
    // be written out (the file is closed all the same).
    void close() override;

private:
    FILEPtr file_;
};

class raw_file : public media_muxer {
public:
    explicit raw_file(const std::string& path) : media_muxer(new raw_file_impl(path)) {}
    explicit raw_file(const char* path) : media_muxer(new raw_file_impl(path)) {}
};

} // namespace kestrel
