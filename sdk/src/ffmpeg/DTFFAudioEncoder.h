#pragma once
// The audio encoder registered as "ffmpeg": any libavcodec audio encoder
// named by "audio-codec" ("libvo_aacenc", which FFmpeg no longer has, means
// the native "aac"). Blocks arrive in the format of the four audio keys and
// are converted to the rate, sample format and layout that the codec takes,
// cut into codec frames and stamped by sample count: time stamps count
// sample frames (time base 1 / rate).

#include "DTFFEncoderCore.h"
#include "encoders/DTAudioEncoderQueue.h"
#include "media/DTAudioConvert.h"

namespace kestrel {
namespace ffmpeg {

class ffmpeg_audio_encoder : public audio_encoder_queue::Impl {
public:
    // Configures the codec context and the converter; open() opens it.
    explicit ffmpeg_audio_encoder(media_settings_ptr settings);

    void open() override;
    // A null block ends the input: what is left is encoded as one short
    // frame and the codec is drained.
    void send(const audio_data* block) override;
    // The block's times are not used.
    void send_timed(const audio_data_timed* block) override;
    media_packet_ptr get_packet() override;
    codec_extra_data_ptr get_properties() override { return codec_extra_data_ptr(); }
    void* codec_context() override { return core_.context(); }

    // Encodes one frame, or asks a draining codec for its last packets;
    // true while the caller should call again.
    bool encodeData(bool flush);

private:
    void send_frame(unsigned int frames);

    ff_encoder_core<audio_encoder_queue::error> core_;
    audio_convert_ptr converter_;
    int64_t samples_sent_ = 0;
};

// The codec's own sample format that best fits the preferred one: itself,
// else its packed or planar counterpart, else the codec's first; -1 when
// the codec lists none.
int choose_sample_format(int preferred, const AVCodec* codec);

// The codec's listed rate nearest to the preferred one (the earlier on a
// tie); the preferred rate when the codec lists none.
int choose_sample_rate(int preferred, const AVCodec* codec);

// The registry's creator for "ffmpeg".
audio_encoder_queue::Impl* create_ffmpeg_audio_encoder(media_settings_ptr settings);

} // namespace ffmpeg
} // namespace kestrel
