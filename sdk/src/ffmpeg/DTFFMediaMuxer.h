#pragma once
// The FFmpeg container writer behind "ffmpeg/<container>": one stream per
// encoder codec context, in list order. Made before the encoders are opened
// (it asks them for global headers where the container wants them), opened
// after them (the streams take the opened encoders' parameters). The file is
// written through our own I/O context, so any UTF-8 path works.

#include "DTFFHandles.h"
#include "DTFFPacketStamps.h"
#include "encoders/DTMediaMuxer.h"

#include <string>
#include <vector>

namespace kestrel {

class ff_simple_media_muxer_impl : public media_muxer::Impl {
public:
    // media_muxer::error_invalid_format for a container FFmpeg does not know.
    ff_simple_media_muxer_impl(const std::string& format, const std::string& path,
                               std::vector<void*> codecs);

    // Creates the file and writes the header; once only.
    void open() override;
    // To the packet's own stream index.
    void write_packet(media_packet_ptr packet) override;
    // Times go from the packet's time base to the stream's. An empty packet
    // pointer or a packet without bytes writes nothing;
    // errors::invalid_operation before open and after close,
    // errors::invalid_argument for a stream the file lacks, a time base
    // that is not positive, a stamp out of range of the stream's time base,
    // or stamps the container cannot place (ff_packet_stamps::admit: FFmpeg's
    // muxers would fail, hang or abort on them).
    void write_packet(media_packet_ptr packet, int stream) override;
    // Writes the trailer (once) and closes the file; a failure of either is
    // thrown after the file is closed. Later calls do nothing.
    void close() override;

private:
    void copy_encoder_parameters();
    void create_file();

    std::vector<void*> externalCodecs_;
    AVFormatContextPtr formatContext_;
    ff_packet_stamps stamps_;
    std::string path_;
    bool headerWritten_ = false;
    bool open_tried_ = false;
};

class ff_simple_media_muxer : public media_muxer {
public:
    ff_simple_media_muxer(const std::string& format, const std::string& path,
                          std::vector<void*> codecs)
        : media_muxer(new ff_simple_media_muxer_impl(format, path, codecs)) {}
};

} // namespace kestrel
