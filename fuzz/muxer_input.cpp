// The container muxer's input side on hostile packets: a container chosen
// by the first byte gets a video and an audio stream, then packets whose
// stream, flags, stamps, duration, time base and bytes come from the input,
// and is closed. Failures must be the library's exceptions.
//
// Input: container (u8), then records until the input ends:
//   stream (u8: 0 video, 1 audio, other values as they are), flags (u8),
//   pts (i32), dts (i32), duration (u16), time base denominator (u16,
//   0 keeps the packet's time base unset), size (u16), the packet's bytes.

#include "encoders/DTMediaMuxer.h"
#include "ffmpeg/DTFFCodec.h"

#include "support/FuzzInput.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <boost/make_shared.hpp>

#include <exception>
#include <vector>

using namespace kestrel;

namespace {

const char* const containers[] = {"mp4", "ipod", "avi", "flv", "dvd", "matroska", "mov"};

// Encoders' contexts as the producer hands them over, described but not
// opened: what the muxer copies into its streams.
struct stream_contexts {
    AVCodecContextPtr video = dt_create_codec_context();
    AVCodecContextPtr audio = dt_create_codec_context();

    stream_contexts() {
        video->codec_type = AVMEDIA_TYPE_VIDEO;
        video->codec_id = AV_CODEC_ID_H264;
        video->width = 64;
        video->height = 48;
        video->pix_fmt = AV_PIX_FMT_YUV420P;
        video->time_base = AVRational{1, 25};
        video->framerate = AVRational{25, 1};
        audio->codec_type = AVMEDIA_TYPE_AUDIO;
        audio->codec_id = AV_CODEC_ID_MP3;
        audio->sample_rate = 44100;
        audio->sample_fmt = AV_SAMPLE_FMT_S16P;
        av_channel_layout_default(&audio->ch_layout, 2);
        audio->time_base = AVRational{1, 44100};
        audio->frame_size = 1152;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::input_reader input(data, size);
    const char* container = containers[input.byte() % (sizeof containers / sizeof *containers)];
    const std::string& path = fuzz::as_file(nullptr, 0);
    try {
        stream_contexts contexts;
        media_muxer_ptr muxer = media_muxer_creator::create(
            std::string("ffmpeg/") + container, path,
            std::vector<void*>{contexts.video.get(), contexts.audio.get()});
        muxer->open();
        while (!input.empty()) {
            auto packet = boost::make_shared<common_media_packet2>();
            media_packet_properties* set = packet->properties();
            const int stream = input.byte();
            set->set_flags(input.byte());
            set->set_pts(input.i32());
            set->set_dts(input.i32());
            set->set_duration(input.u16());
            if (const uint16_t den = input.u16())
                set->set_time_base(dt_rational_t(1, den));
            const uint8_t* bytes = nullptr;
            const std::size_t count = input.take(input.u16(), bytes);
            set->set_data(const_cast<uint8_t*>(bytes), count, dt_buffer_copy);
            set->set_media_type(stream == 1 ? dt_media_type_audio : dt_media_type_video);
            try {
                muxer->write_packet(packet, stream);
            } catch (const std::exception&) {
                // A refused packet: the next one may still be written.
            }
        }
        muxer->close();
    } catch (const std::exception&) {
        // A refused container or a failed close: the expected answer.
    }
    return 0;
}
