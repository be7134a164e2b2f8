#pragma once
// An audio encoder as a queue: open it, send blocks of samples, take the
// packets that are ready after each send, and end with flush() so that the
// encoder encodes what it still holds.

#include "base/DTBase.h"
#include "base/DTErrors.h"
#include "base/DTTypes.h"
#include "encoders/DTEncoderFactory.h"
#include "media/DTAudioData.h"
#include "media/DTAudioFormat.h"
#include "media/DTCodecExtraData.h"
#include "media/DTMediaPacket.h"
#include "media/DTMediaSettings.h"

#include <boost/shared_ptr.hpp>

#include <string>

namespace kestrel {

class audio_encoder_queue;
typedef boost::shared_ptr<audio_encoder_queue> audio_encoder_queue_ptr;

class audio_encoder_queue : public facade<audio_encoder_queue> {
public:
    class error : public virtual errors::dt_error {
    public:
        explicit error(const char* text);
    };

    class Impl : public impl_base {
    public:
        ~Impl() override;
        virtual void open() = 0;
        // A null block ends the input: the encoder drains.
        virtual void send(const audio_data* block) = 0;
        virtual void send_timed(const audio_data_timed* block) = 0;
        // Empty when no packet is ready.
        virtual media_packet_ptr get_packet() = 0;
        virtual codec_extra_data_ptr get_properties() = 0;
        // The encoder's AVCodecContext, or null for encoders without one.
        virtual void* codec_context();
    };


    void open() { impl()->open(); }
    void send(const audio_data* block) { impl()->send(block); }
    void send_timed(const audio_data_timed* block) { impl()->send_timed(block); }
    void send_timed(const audio_data_timed_ptr& block) { impl()->send_timed(block.get()); }
    // The end of input: the same as send(nullptr).
    void flush() { impl()->send(nullptr); }
    media_packet_ptr get_packet() { return impl()->get_packet(); }
    codec_extra_data_ptr get_properties() { return impl()->get_properties(); }
    void* codec_context() { return impl()->codec_context(); }

protected:
    explicit audio_encoder_queue(Impl* impl) : facade(impl) {}
};

typedef encoder_factory<audio_encoder_queue, audio_encoder_queue::Impl, media_settings>
    audio_encoder_factory;
extern template class encoder_factory<audio_encoder_queue, audio_encoder_queue::Impl,
                                      media_settings>;

class audio_encoder_queue_creator {
public:
    // name is a family such as "kestrel/ffmpeg"; empty when the encoder is
    // not registered; errors::invalid_operation for a name outside the
    // family. The encoder gets a copy of the settings in which the four
    // audio format keys describe `input`, whatever the caller's map said.
    static audio_encoder_queue_ptr create(const std::string& name, const audio_format* input,
                                          media_settings_ptr settings);

private:
    static audio_encoder_queue_ptr create_impl(const std::string& name, const audio_format* input,
                                               media_settings_ptr settings);
};

} // namespace kestrel
