#pragma once
// MP3 through LAME itself, without FFmpeg: an audio encoder queue that takes
// interleaved signed 16-bit sound (mono or stereo), cuts it into one-second
// pieces and makes one packet of MP3 bytes of each (time base 1/14112000 s,
// stamps at the end of the sound taken so far). Beside the packets it keeps
// named byte blocks for an MP3 file's writer: "ID3V2TAG" (made at
// construction, for the start of the file), then, at each end of input,
// "ID3V1TAG" (for the end of the file) and "LAMETAG" (LAME's information
// frame, for the start of the sound). Not in the encoder registry: made by
// create_lame_audio_encoder. One thread at a time.

#include "encoders/DTAudioEncoderQueue.h"
#include "media/DTAudioBuffer.h"
#include "media/DTCodecExtraData.h"

#include <boost/shared_ptr.hpp>

#include <memory>
#include <string>

namespace kestrel {

// LAME itself stays inside the library: its header is included only where
// the encoder is made.
class lame_encoder_impl_internal;

namespace audio_encoder_lame_utils {

struct properties {
    std::string artist; // UTF-8; the ID3v2 frame "TPE1" when not empty
    std::string title;  // UTF-8; "TIT2" when not empty
    int bitrate;        // constant kbit/s; 0 or less: LAME's V2 variable rate
};
typedef boost::shared_ptr<properties> properties_ptr;

properties_ptr create_properties();
properties_ptr create_properties(const char* artist, const char* title, int bitrate);

} // namespace audio_encoder_lame_utils

class audio_encoder_queue_lame_impl : public audio_encoder_queue::Impl {
public:
    // errors::invalid_pointer for a null format or properties,
    // errors::invalid_argument for a format other than signed 16-bit
    // interleaved (LAME would read past the blocks), errors::invalid_operation
    // when LAME refuses the rate or the channel count (more than two).
    audio_encoder_queue_lame_impl(const audio_format* format,
                                  const audio_encoder_lame_utils::properties* properties);
    ~audio_encoder_queue_lame_impl() override;

    void open() override {}
    // A block is queued (a block of another format is refused by the
    // buffer); null ends the input.
    void send(const audio_data* block) override;
    // The block's times are not used; null does nothing.
    void send_timed(const audio_data_timed* block) override;
    // One second of MP3 while more than a second is queued; after the end
    // of input the rest, then LAME's flush (which also stores the end tags),
    // then empty pointers until more sound comes.
    media_packet_ptr get_packet() override;
    codec_extra_data_ptr get_properties() override { return tags_; }

private:
    // Adds LAME's block as a record of that name.
    template <class Fetch>
    void add_tag(const char* name, Fetch fetch);

    std::unique_ptr<lame_encoder_impl_internal> encoder_;
    boost::shared_ptr<codec_extra_data_common> tags_;
    audio_buffer_ptr samples_;
    unsigned int packet_frames_ = 0;
    bool ended_ = false;
};

class audio_encoder_queue_lame : public audio_encoder_queue {
public:
    audio_encoder_queue_lame(const audio_format* format,
                             const audio_encoder_lame_utils::properties* properties);
};

audio_encoder_queue_ptr create_lame_audio_encoder(const audio_format* format);
// Null texts count as empty.
audio_encoder_queue_ptr create_lame_audio_encoder(const audio_format* format, const char* artist,
                                                  const char* title, int bitrate);

} // namespace kestrel
