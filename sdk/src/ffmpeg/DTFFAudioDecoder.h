#pragma once
// The FFmpeg audio decoder: one packet in, one block out holding every
// frame the packet completed, in the format the stream's description gives.
// A stream may change its format midway (two files joined end to end):
// frames of another rate, channel count or sample format are resampled to
// the described format, so the whole stream keeps one format and its pitch.

#include "DTFFHandles.h"
#include "base/DTFixedMemoryBuffer.h"
#include "media/DTAudioBuffer.h"
#include "media/DTAudioConvert.h"
#include "media/DTDecoder.h"

namespace kestrel {

class ff_audio_decoder_impl : public audio_decoder::Impl {
public:
    // Opens the decoder; throws decoder::create_error.
    explicit ff_audio_decoder_impl(const audio_decoder_info& info);

    // Logs and flushes FFmpeg's state; the running position stays.
    void reset() override;
    // Decoding errors are not reported: the frames decoded before the error
    // come back, possibly none.
    audio_data_ptr decode(media_packet_ptr packet) override;
    audio_data_timed_ptr decode_timed(media_packet_ptr packet) override;
    decoder_info_ptr get_decoder_info() override;
    audio_decoder_additional_info_ptr get_additional_info() override { return additional_info_; }

private:
    // Queues every frame FFmpeg has ready.
    void receive_frames();
    // Queues one decoded frame, converted when its format is not the
    // described one.
    void append(const AVFrame& frame);
    // The frame's samples as one block of bytes in its own format (planes
    // gathered channel after channel).
    const uint8_t* frame_bytes(const AVFrame& frame, unsigned int& size);
    // Queues what the resampler of a foreign format still holds and drops it.
    void drain_foreign();

    AVCodecContextPtr context_;
    audio_format_ptr format_;
    audio_buffer_ptr samples_;
    // Frames of a format other than the described one, and their resampler.
    audio_format_ptr foreign_format_;
    audio_convert_ptr foreign_;
    double position_ = 0.0; // ms, start of the next block
    audio_decoder_additional_info_ptr additional_info_;
    AVFramePtr frame_;
    utils::fixed_memory_buffer planes_;
};

class ff_audio_decoder : public audio_decoder {
public:
    explicit ff_audio_decoder(const audio_decoder_info& info)
        : audio_decoder(new ff_audio_decoder_impl(info)) {}
};

} // namespace kestrel
