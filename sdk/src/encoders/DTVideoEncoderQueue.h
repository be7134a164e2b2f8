#pragma once
// A video encoder as a queue: open it, send pictures, take the packets that
// are ready after each send, and end with a null frame so that the encoder
// hands out what it still holds.

#include "base/DTBase.h"
#include "base/DTErrors.h"
#include "base/DTTypes.h"
#include "encoders/DTEncoderFactory.h"
#include "media/DTMediaPacket.h"
#include "media/DTMediaSettings.h"
#include "media/DTVideoData.h"

#include <boost/shared_ptr.hpp>

#include <string>

namespace kestrel {

class video_encoder_queue;
typedef boost::shared_ptr<video_encoder_queue> video_encoder_queue_ptr;

class video_encoder_queue : public facade<video_encoder_queue> {
public:
    class error : public virtual errors::dt_error {
    public:
        explicit error(const char* text);
    };

    class Impl : public impl_base {
    public:
        ~Impl() override;
        virtual void open() = 0;
        virtual void send(const video_data* picture) = 0;
        // Sends the frame's picture, untimed; a null frame does nothing.
        virtual void send_timed(const video_data_timed* frame);
        // Empty when no packet is ready.
        virtual media_packet_ptr get_packet() = 0;
        // The encoder's AVCodecContext, or null for encoders without one.
        virtual void* codec_context();
    };


    void open() { impl()->open(); }
    void send(const video_data* picture) { impl()->send(picture); }
    // A null frame ends the input of the encoders that keep pictures back.
    void send_timed(const video_data_timed* frame) { impl()->send_timed(frame); }
    void send_timed(const video_data_timed_ptr& frame) { impl()->send_timed(frame.get()); }
    media_packet_ptr get_packet() { return impl()->get_packet(); }
    void* codec_context() { return impl()->codec_context(); }

protected:
    explicit video_encoder_queue(Impl* impl) : facade(impl) {}
};

typedef encoder_factory<video_encoder_queue, video_encoder_queue::Impl, media_settings>
    video_encoder_factory;
extern template class encoder_factory<video_encoder_queue, video_encoder_queue::Impl,
                                      media_settings>;

class video_encoder_queue_creator {
public:
    // name is a family such as "kestrel/ffmpeg"; empty when the encoder is
    // not registered; errors::invalid_operation for a name outside the
    // family. The encoder shares the caller's settings map.
    static video_encoder_queue_ptr create(const std::string& name, media_settings_ptr settings);
    static video_encoder_queue_ptr create(const char* name, media_settings_ptr settings);
    static video_encoder_queue_ptr create(const char* name);
    // The name from the settings key "video_encoder".
    static video_encoder_queue_ptr create(media_settings_ptr settings);

private:
    static video_encoder_queue_ptr create_impl(const char* name, media_settings_ptr settings);
};

} // namespace kestrel
