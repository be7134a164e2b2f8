#pragma once
// FFmpeg resources are held from the moment they exist by shared pointers
// whose deleter releases them; deleters accept null and never throw.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <boost/shared_ptr.hpp>

namespace kestrel {
namespace details {

// A picture whose planes this library allocated.
struct _AVPictureDestroy {
    void operator()(AVFrame* frame) const;
};

// A frame that a decoder fills: its planes belong to the decoder.
struct _AVFrameDestroy {
    void operator()(AVFrame* frame) const;
};

struct _AVPacketDestruct {
    void operator()(AVPacket* packet) const;
};

// Closes the codec and frees the context with its extra data and matrices.
struct _AVCodecContextDestroy {
    void operator()(AVCodecContext* context) const;
};

struct SwrContextFree_ {
    void operator()(SwrContext* context) const;
};

struct SwsContextFree_ {
    void operator()(SwsContext* context) const;
};

// An input opened over our own I/O context (AVFMT_FLAG_CUSTOM_IO): FFmpeg
// leaves that context to us, so it is closed after the input.
struct _AVFormatContextDestruct {
    void operator()(AVFormatContext* context) const;
};

} // namespace details

typedef boost::shared_ptr<AVFrame> AVFramePtr;
typedef boost::shared_ptr<AVPacket> AVPacketPtr;
typedef boost::shared_ptr<AVCodecContext> AVCodecContextPtr;
typedef boost::shared_ptr<SwrContext> SwrContextPtr;
typedef boost::shared_ptr<SwsContext> SwsContextPtr;
typedef boost::shared_ptr<AVFormatContext> AVFormatContextPtr;

// A new, empty packet with its deleter; throws errors::bad_alloc.
AVPacketPtr dt_alloc_packet();

} // namespace kestrel
