#include "DTFFAudioDecoder.h"

#include "DTFFChannelLayout.h"
#include "DTFFCodec.h"
#include "DTFFDecoderInfo.h"
#include "DTFFGlobal.h"
#include "DTFFMediaPacket.h"
#include "base/DTLog.h"

#include <boost/make_shared.hpp>

#include <cstring>

namespace kestrel {

namespace {
const ffmpeg_global_init_request ffmpeg_init;

AVFramePtr create_frame() {
    AVFramePtr frame(av_frame_alloc(), details::_AVFrameDestroy());
    if (!frame)
        KESTREL_THROW(errors::bad_alloc() << errinfo_api_function("av_frame_alloc"));
    return frame;
}

double to_milliseconds(dt_ts_t ticks, dt_rational_t time_base) {
    return static_cast<double>(time_base.num) / time_base.den * 1000.0 * ticks;
}

bool usable(dt_rational_t time_base) { return time_base.num != 0 && time_base.den != 0; }
} // namespace

ff_audio_decoder_impl::ff_audio_decoder_impl(const audio_decoder_info& info)
    : context_(dt_create_decoder_context(info)), frame_(create_frame()) {
    context_->sample_rate = info.sample_rate();
    av_channel_layout_uninit(&context_->ch_layout);
    context_->ch_layout = ff_channel_layout(info.channel_layout(), info.channels());
    context_->sample_fmt = static_cast<AVSampleFormat>(info.sample_format());
    context_->block_align = info.block_align();
    context_->bits_per_coded_sample = info.bits_per_coded_sample();
    context_->bits_per_raw_sample = info.bits_per_raw_sample();

    additional_info_ = dt_open_named_decoder<audio_decoder_additional_info>(context_.get());

    format_ = audio_format::create(info.sample_rate(), info.sample_format(), info.channels(),
                                   info.channel_layout());
    samples_ = audio_buffer::create(0, format_.get());
}

void ff_audio_decoder_impl::reset() {
    log_line(logger::info()) << "[ff_audio_decoder_impl::reset]" << std::endl;
    avcodec_flush_buffers(context_.get());
    foreign_.reset();
    foreign_format_.reset();
}

audio_data_ptr ff_audio_decoder_impl::decode(media_packet_ptr packet) {
    if (!packet) {
        // The end of the input: FFmpeg hands out the frames it held back,
        // then starts afresh for whatever comes next.
        avcodec_send_packet(context_.get(), nullptr);
        receive_frames();
        drain_foreign();
        avcodec_flush_buffers(context_.get());
    } else if (packet->size() > 0) { // an empty one would also end the input
        AVPacketPtr input = dt_decoder_packet(*packet);
        if (avcodec_send_packet(context_.get(), input.get()) == AVERROR(EAGAIN)) {
            // FFmpeg still holds frames of earlier packets: take them first.
            receive_frames();
            avcodec_send_packet(context_.get(), input.get());
        }
        receive_frames();
    }
    return samples_->pop(samples_->size());
}

void ff_audio_decoder_impl::receive_frames() {
    while (avcodec_receive_frame(context_.get(), frame_.get()) == 0) {
        append(*frame_);
        av_frame_unref(frame_.get());
    }
}

void ff_audio_decoder_impl::append(const AVFrame& frame) {
    const int channels = frame.ch_layout.nb_channels;
    if (channels <= 0 || sample_format_bits(frame.format) <= 0 || frame.sample_rate <= 0) {
        samples_->pop(samples_->size());
        KESTREL_THROW(decoder::decode_error() << errinfo_api_function("avcodec_receive_frame"));
    }
    unsigned int size = 0;
    const uint8_t* bytes = frame_bytes(frame, size);
    if (frame.format == format_->sample_format() && channels == format_->channels() &&
        frame.sample_rate == format_->sample_rate()) {
        drain_foreign(); // what came before this frame goes first
        samples_->push(bytes, size);
        return;
    }
    if (!foreign_format_ || foreign_format_->sample_format() != frame.format ||
        foreign_format_->channels() != channels ||
        foreign_format_->sample_rate() != frame.sample_rate) {
        drain_foreign();
        foreign_format_ = audio_format::create(frame.sample_rate, frame.format, channels,
                                               ff_channel_mask(frame.ch_layout));
        foreign_ = create_audio_convert(format_.get(), foreign_format_.get());
    }
    const audio_data_common block(*foreign_format_, const_cast<uint8_t*>(bytes), size,
                                  dt_buffer_borrow);
    samples_->push_back(foreign_->convert(&block).get());
}

const uint8_t* ff_audio_decoder_impl::frame_bytes(const AVFrame& frame, unsigned int& size) {
    const int channels = frame.ch_layout.nb_channels;
    const std::size_t plane =
        static_cast<std::size_t>(frame.nb_samples) * (sample_format_bits(frame.format) / 8);
    size = static_cast<unsigned int>(plane * channels);
    if (!sample_format_is_planar(frame.format))
        return frame.extended_data[0];
    // FFmpeg keeps each channel in a buffer of its own; blocks hold one
    // channel after the other.
    uint8_t* gathered = planes_.get_buffer(plane * channels);
    for (int channel = 0; channel < channels; ++channel)
        std::memcpy(gathered + channel * plane, frame.extended_data[channel], plane);
    return gathered;
}

void ff_audio_decoder_impl::drain_foreign() {
    if (!foreign_)
        return;
    const audio_convert_ptr foreign = foreign_;
    foreign_.reset();
    foreign_format_.reset();
    samples_->push_back(foreign->convert(nullptr).get());
}

audio_data_timed_ptr ff_audio_decoder_impl::decode_timed(media_packet_ptr packet) {
    if (packet && packet->pts() != AV_NOPTS_VALUE) {
        const dt_rational_t own = packet->time_base();
        const dt_rational_t time_base = usable(own) ? own : dt_rational_t(
                                                                context_->time_base.num,
                                                                context_->time_base.den);
        if (usable(time_base))
            position_ = to_milliseconds(packet->pts(), time_base);
    }
    audio_data_ptr block = decode(packet);
    const double start = position_;
    double duration = 0.0;
    // Blocks are in the described format, whatever the codec decodes now.
    if (format_->sample_rate() > 0) {
        duration = 1000.0 * block->samples() / format_->sample_rate();
        position_ += duration;
    }
    return boost::make_shared<audio_data_timed>(block, duration, start);
}

decoder_info_ptr ff_audio_decoder_impl::get_decoder_info() {
    return boost::make_shared<ff_audio_decoder_info>(context_.get());
}

audio_decoder_ptr create_audio_decoder(const audio_decoder_info& info) {
    if (info.extra_value() != 0)
        return audio_decoder_ptr();
    return boost::make_shared<ff_audio_decoder>(info);
}

} // namespace kestrel
