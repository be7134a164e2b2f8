#include "DTFFStreamInfo.h"

#include "DTFFCodec.h"
#include "DTFFDecoderInfo.h"
#include "DTFFGlobal.h"
#include "base/DTErrors.h"

#include <cmath>

namespace kestrel {

namespace {
const ffmpeg_global_init_request ffmpeg_init;

// The stream's codec description. Streams carry codec parameters, not a
// codec context, so a scratch context is filled from them; the stream's time
// base stands for the codec's, which a demuxed stream no longer states.
decoder_info_ptr stream_decoder_info(const AVStream& stream) {
    if (!stream.codecpar)
        KESTREL_THROW(errors::invalid_pointer());
    AVCodecContextPtr context = dt_create_codec_context();
    const int result = avcodec_parameters_to_context(context.get(), stream.codecpar);
    if (result < 0)
        KESTREL_THROW(errors::bad_alloc() << errinfo_api_function("avcodec_parameters_to_context")
                                          << errinfo_errno(-result));
    context->time_base = stream.time_base;
    return create_ff_decoder_info(context.get());
}
} // namespace

dt_ts_t dt_stream_duration_from_file(int64_t file_duration, AVRational time_base) {
    if (file_duration == AV_NOPTS_VALUE || time_base.num == 0)
        return AV_NOPTS_VALUE;
    const long double units = static_cast<long double>(file_duration) / 1000000.0L *
                                  time_base.den / time_base.num +
                              0.5L;
    return static_cast<dt_ts_t>(std::trunc(units));
}

ff_stream_info_impl::ff_stream_info_impl(const AVFormatContext* context, const AVStream* stream) {
    if (!stream)
        KESTREL_THROW(errors::invalid_pointer());
    index_ = stream->index;
    id_ = stream->id;
    r_frame_rate_ = dt_rational(stream->r_frame_rate);
    // The first packet's decoding time is private to FFmpeg now: unknown.
    first_dts_ = AV_NOPTS_VALUE;
    time_base_ = dt_rational(stream->time_base);
    start_time_ = stream->start_time;
    duration_ = stream->duration != AV_NOPTS_VALUE
                    ? stream->duration
                    : dt_stream_duration_from_file(context ? context->duration : AV_NOPTS_VALUE,
                                                   stream->time_base);
    nb_frames_ = stream->nb_frames;
    sample_aspect_ratio_ = dt_rational(stream->sample_aspect_ratio);
    avg_frame_rate_ = dt_rational(stream->avg_frame_rate);
    decoder_info_ = stream_decoder_info(*stream);
}

std::string ff_file_info_general_impl::filename() const {
    return context_->url ? context_->url : "";
}

std::string ff_file_info_general_impl::format_name() const {
    return context_->iformat && context_->iformat->name ? context_->iformat->name : "";
}

std::string ff_file_info_general_impl::format_long_name() const {
    return context_->iformat && context_->iformat->long_name ? context_->iformat->long_name : "";
}

} // namespace kestrel
