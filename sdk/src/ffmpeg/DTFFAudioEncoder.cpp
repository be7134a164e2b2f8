#include "DTFFAudioEncoder.h"

#include "DTFFChannelLayout.h"
#include "DTFFGlobal.h"
#include "base/DTLog.h"

extern "C" {
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <cstdlib>

namespace kestrel {
namespace ffmpeg {

namespace {

const ffmpeg_global_init_request ffmpeg_init;

unsigned int registrations = 0;
const encoder_registration<audio_encoder_factory> registration(registrations, "ffmpeg",
                                                               create_ffmpeg_audio_encoder);

// FFmpeg 5 dropped the VisualOn AAC encoder; its native one takes its place.
const char* const retired_aac_encoder = "libvo_aacenc";
const char* const native_aac_encoder = "aac";

typedef ff_encoder_core<audio_encoder_queue::error> core;

const AVCodec* find_encoder(const std::string& name) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (!codec && name == retired_aac_encoder) {
        codec = avcodec_find_encoder_by_name(native_aac_encoder);
        if (codec)
            log_line(logger::info()) << "[ffmpeg audio encoder] " << retired_aac_encoder
                                     << " is encoded with " << native_aac_encoder << std::endl;
    }
    return codec;
}

// U8 <-> U8P, S16 <-> S16P and so on.
int packed_planar_counterpart(int sample_format) {
    if (sample_format >= sample_format_u8 && sample_format <= sample_format_dbl)
        return sample_format + 5;
    if (sample_format >= sample_format_u8p && sample_format <= sample_format_dblp)
        return sample_format - 5;
    return -1;
}

bool lists(const AVSampleFormat* formats, int sample_format) {
    for (; *formats != AV_SAMPLE_FMT_NONE; ++formats)
        if (*formats == sample_format)
            return true;
    return false;
}

} // namespace

int choose_sample_format(int preferred, const AVCodec* codec) {
    if (!codec || !codec->sample_fmts || codec->sample_fmts[0] == AV_SAMPLE_FMT_NONE)
        return -1;
    if (lists(codec->sample_fmts, preferred))
        return preferred;
    const int counterpart = packed_planar_counterpart(preferred);
    if (counterpart >= 0 && lists(codec->sample_fmts, counterpart))
        return counterpart;
    return codec->sample_fmts[0];
}

int choose_sample_rate(int preferred, const AVCodec* codec) {
    if (!codec || !codec->supported_samplerates || codec->supported_samplerates[0] == 0)
        return preferred;
    int best = codec->supported_samplerates[0];
    for (const int* rate = codec->supported_samplerates; *rate != 0; ++rate)
        if (std::llabs(static_cast<long long>(*rate) - preferred) <
            std::llabs(static_cast<long long>(best) - preferred))
            best = *rate;
    return best;
}

audio_encoder_queue::Impl* create_ffmpeg_audio_encoder(media_settings_ptr settings) {
    return new ffmpeg_audio_encoder(settings);
}

ffmpeg_audio_encoder::ffmpeg_audio_encoder(media_settings_ptr settings)
    : core_(find_encoder(core::checked(settings).get("audio-codec")), dt_media_type_audio) {
    const AVCodec* codec = core_.codec();
    AVCodecContext* c = core_.context();
    c->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    c->codec_type = AVMEDIA_TYPE_AUDIO;

    const int channels = static_cast<int>(settings->get<unsigned int>("audio-channels-count"));
    const int sample_format =
        choose_sample_format(sample_format_from_name(settings->get("audio-sample-format")), codec);
    const int sample_rate =
        choose_sample_rate(static_cast<int>(settings->get<unsigned int>("audio-sample-rate")), codec);
    uint64_t layout = static_cast<uint64_t>(settings->get<long long>("audio-channel-layout"));
    c->bit_rate = settings->get<long long>("audio-bitrate", static_cast<long long>(c->bit_rate));
    // A layout that names another number of channels cannot describe them.
    if (av_popcount64(layout) != channels)
        layout = 0;

    c->sample_fmt = static_cast<AVSampleFormat>(sample_format);
    c->sample_rate = sample_rate;
    av_channel_layout_uninit(&c->ch_layout);
    c->ch_layout = ff_channel_layout(layout, channels);
    c->time_base = AVRational{1, sample_rate};

    const audio_format_ptr input = media_settings_to_audio_format(settings);
    const audio_format_ptr codec_format =
        audio_format::create(sample_rate, sample_format, channels, layout);
    converter_ = create_audio_convert(codec_format.get(), input.get());
}

void ffmpeg_audio_encoder::open() { core_.open(); }

void ffmpeg_audio_encoder::send(const audio_data* block) {
    const bool flush = !block;
    // At the end the converter gives up what its filter still holds too.
    converter_->push_back(block);
    while (encodeData(flush)) {
    }
}

void ffmpeg_audio_encoder::send_timed(const audio_data_timed* block) {
    if (!block) {
        send(nullptr);
        return;
    }
    const audio_data_ptr data = block->data; // alive for the whole call
    send(data.get());
}

media_packet_ptr ffmpeg_audio_encoder::get_packet() { return core_.next_packet(); }

bool ffmpeg_audio_encoder::encodeData(bool flush) {
    const unsigned int frame_size = static_cast<unsigned int>(std::max(core_.context()->frame_size, 0));
    const unsigned int available = converter_->size();
    if (!flush && (frame_size == 0 ? available == 0 : available < frame_size))
        return false;
    // Whole codec frames while they last; at the end one short frame.
    const unsigned int frames =
        frame_size == 0 ? available : std::min(available, frame_size);
    if (frames > 0) {
        send_frame(frames);
        return true;
    }
    // Nothing left at the end: the codec hands out what it delayed.
    core_.send_frame(nullptr, "failed");
    return false;
}

void ffmpeg_audio_encoder::send_frame(unsigned int frames) {
    AVCodecContext* c = core_.context();
    const int expected = av_samples_get_buffer_size(nullptr, c->ch_layout.nb_channels,
                                                    static_cast<int>(frames), c->sample_fmt, 1);
    const audio_data_ptr block = converter_->pop(frames);
    if (block->size() != static_cast<unsigned int>(std::max(expected, 0)))
        KESTREL_THROW(errors::unexpected());

    AVFrame* frame = core_.frame();
    frame->nb_samples = static_cast<int>(frames);
    frame->format = c->sample_fmt;
    frame->sample_rate = c->sample_rate;
    int result = av_channel_layout_copy(&frame->ch_layout, &c->ch_layout);
    if (result >= 0)
        result = avcodec_fill_audio_frame(frame, block->channels(), c->sample_fmt, block->data(),
                                          static_cast<int>(block->size()), 1);
    if (result < 0) {
        av_frame_unref(frame);
        core::fail("failed", "avcodec_fill_audio_frame", result);
    }
    frame->pts = samples_sent_;
    samples_sent_ += frames;
    core_.send_frame(frame, "failed");
}

} // namespace ffmpeg
} // namespace kestrel
