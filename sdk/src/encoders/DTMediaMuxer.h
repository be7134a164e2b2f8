#pragma once
// Writes finished packets into an output file. Callers never name a muxer
// class: media_muxer_creator::create picks one by a format text,
// "ffmpeg/<container>" (for example "ffmpeg/mp4") for FFmpeg's containers
// or "kestrel/ppm" for the raw file of PPM pictures. Releasing the last
// handle closes the muxer, which completes the file.

#include "base/DTBase.h"
#include "base/DTErrors.h"
#include "media/DTMediaPacket.h"

#include <boost/shared_ptr.hpp>

#include <string>
#include <vector>

namespace kestrel {

class media_muxer;
typedef boost::shared_ptr<media_muxer> media_muxer_ptr;

class media_muxer : public facade<media_muxer> {
public:
    // The muxer's failures; what() is "muxer : " and the text.
    class error : public errors::dt_error {
    public:
        explicit error(const std::string& text) : errors::dt_error("muxer : " + text) {}
    };
    class error_invalid_format : public error {
    public:
        error_invalid_format() : error("invalid format") {}
    };
    class error_create_file : public error {
    public:
        error_create_file() : error("create file error") {}
    };
    class error_write_header : public error {
    public:
        error_write_header() : error("write header error") {}
    };
    class error_write_packet : public error {
    public:
        error_write_packet() : error("write packet error") {}
    };
    class error_write_trailer : public error {
    public:
        error_write_trailer() : error("write trailer error") {}
    };

    class Impl : public impl_base {
    public:
        ~Impl() override;
        virtual void open() = 0;
        virtual void write_packet(media_packet_ptr packet) = 0;
        // Writers of one stream ignore the index.
        virtual void write_packet(media_packet_ptr packet, int stream);
        virtual void close() = 0;
    };

    explicit media_muxer(Impl* impl) : facade(impl) {}
    // Closes first; a failing close is logged, never thrown from here.
    ~media_muxer() override;

    void open() { impl()->open(); }
    void write_packet(media_packet_ptr packet, int stream) { impl()->write_packet(packet, stream); }
    void write_packet(media_packet_ptr packet) { impl()->write_packet(packet); }
    // Completes the file; callers that must know whether that worked call
    // it themselves before letting the muxer go.
    void close() {
        if (impl())
            impl()->close();
    }
};

class media_muxer_creator {
public:
    // codecs: the encoders' AVCodecContext pointers, one per output stream
    // in stream order (video first); they must outlive open(). The muxer
    // comes back unopened; errors::invalid_operation for an unknown format
    // text.
    static media_muxer_ptr create(const std::string& format, const std::string& path,
                                  std::vector<void*> codecs);
    static media_muxer_ptr create(const std::string& format, const std::string& path);
};

} // namespace kestrel
