#pragma once
// What the FFmpeg audio and video encoders share: the codec context of the
// encoder they found, the frame they fill for it, the packets it has
// finished and the way they fail. Failures are the queue's own error class
// (audio_encoder_queue::error or video_encoder_queue::error) with the text
// given and FFmpeg's function name and negated result attached. One thread
// at a time.

#include "DTFFEncodedPackets.h"
#include "DTFFHandles.h"
#include "media/DTMediaPacket.h"
#include "media/DTMediaSettings.h"

namespace kestrel {
namespace ffmpeg {

template <class Error>
class ff_encoder_core {
public:
    // Allocates a context for the codec; "could't find codec" for none,
    // "could't allocate codec context" when FFmpeg has no memory.
    ff_encoder_core(const AVCodec* codec, int media_type);

    // Opens the configured context: "open codec error".
    void open();
    // Hands the frame to the codec (null: the end of input, once; later
    // nulls do nothing) and queues every packet it has finished, giving
    // those without a duration `default_duration` when that is above 0.
    // The frame is emptied whatever happens. Failures carry `text`.
    void send_frame(AVFrame* frame, const char* text, int64_t default_duration = 0);
    // The oldest finished packet, or an empty pointer.
    media_packet_ptr next_packet() { return packets_.next(); }

    const AVCodec* codec() const { return codec_; }
    AVCodecContext* context() const { return context_.get(); }
    AVFrame* frame() const { return frame_.get(); }
    bool drained() const { return drained_; }

    // The settings, or "invalid settings" for none.
    static const media_settings& checked(const media_settings_ptr& settings);

    [[noreturn]] static void fail(const char* text);
    [[noreturn]] static void fail(const char* text, const char* function, int result);

private:
    AVCodecContextPtr context_;
    const AVCodec* codec_;
    const int media_type_;
    AVFramePtr frame_;
    ff_encoded_packets packets_;
    bool drained_ = false;
};

} // namespace ffmpeg
} // namespace kestrel
