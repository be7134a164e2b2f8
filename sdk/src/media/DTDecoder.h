#pragma once
// Decoders turn the packets of one stream into audio blocks or pictures.
// They are made from the stream's codec description and name the codec
// they opened.

#include "base/DTBase.h"
#include "base/DTErrors.h"
#include "base/DTTypes.h"
#include "media/DTAudioData.h"
#include "media/DTDecoderInfo.h"
#include "media/DTMediaPacket.h"
#include "media/DTVideoData.h"

#include <boost/shared_ptr.hpp>

namespace kestrel {

class decoder : public facade<decoder> {
public:
    // The codec cannot be found or opened.
    class create_error : public virtual errors::dt_error {};
    class decode_error : public virtual errors::dt_error {};

    class Impl : public impl_base {
    public:
        ~Impl() override;
        // Forget all decoding state, e.g. after a seek.
        virtual void reset() = 0;
    };

    explicit decoder(Impl* impl) : facade(impl) {}
    virtual ~decoder() = 0;

    void reset() { impl()->reset(); }
};
typedef boost::shared_ptr<decoder> decoder_ptr;

class audio_decoder : public decoder {
public:
    class Impl : public decoder::Impl {
    public:
        // Every frame the packet completes, in one block. An empty packet
        // pointer ends the input: the frames the codec still holds come out
        // and the decoder starts afresh.
        virtual audio_data_ptr decode(media_packet_ptr packet) = 0;
        // The same block with its duration and start in milliseconds.
        virtual audio_data_timed_ptr decode_timed(media_packet_ptr packet) = 0;
        // Describes the open codec as it is now.
        virtual decoder_info_ptr get_decoder_info() = 0;
        virtual audio_decoder_additional_info_ptr get_additional_info() = 0;
        virtual void flush() { reset(); }
    };

    explicit audio_decoder(Impl* impl) : decoder(impl), audio_(impl) {}

    audio_data_ptr decode(media_packet_ptr packet) { return audio_->decode(packet); }
    audio_data_timed_ptr decode_timed(media_packet_ptr packet) {
        return audio_->decode_timed(packet);
    }
    decoder_info_ptr get_decoder_info() { return audio_->get_decoder_info(); }
    audio_decoder_additional_info_ptr get_additional_info() {
        return audio_->get_additional_info();
    }
    void flush() { audio_->flush(); }

private:
    Impl* audio_; // owned by the base
};
typedef boost::shared_ptr<audio_decoder> audio_decoder_ptr;

class video_decoder : public decoder {
public:
    class Impl : public decoder::Impl {
    public:
        // At most one picture per packet, a deep copy the caller keeps; an
        // empty pointer while the codec holds pictures back. An empty packet
        // pointer asks for a picture the codec still holds at the end of the
        // stream (none left: an empty pointer).
        virtual video_data_ptr decode(media_packet_ptr packet) = 0;
        // The same picture with its duration and start in milliseconds.
        virtual video_data_timed_ptr decode_timed(media_packet_ptr packet) = 0;
        virtual decoder_info_ptr get_decoder_info() = 0;
        virtual video_decoder_additional_info_ptr get_additional_info() = 0;
    };

    explicit video_decoder(Impl* impl) : decoder(impl), video_(impl) {}

    video_data_ptr decode(media_packet_ptr packet) { return video_->decode(packet); }
    video_data_timed_ptr decode_timed(media_packet_ptr packet) {
        return video_->decode_timed(packet);
    }
    decoder_info_ptr get_decoder_info() { return video_->get_decoder_info(); }
    video_decoder_additional_info_ptr get_additional_info() {
        return video_->get_additional_info();
    }

private:
    Impl* video_; // owned by the base
};
typedef boost::shared_ptr<video_decoder> video_decoder_ptr;

// A new decoder opened for the described stream, with fresh state; an
// empty pointer for a description that no FFmpeg decoder serves
// (extra_value() not 0). Throws decoder::create_error.
audio_decoder_ptr create_audio_decoder(const audio_decoder_info& info);
// The same for a video stream; `extra` is accepted and not used.
video_decoder_ptr create_video_decoder(const video_decoder_info& info, void* extra = nullptr);

} // namespace kestrel
