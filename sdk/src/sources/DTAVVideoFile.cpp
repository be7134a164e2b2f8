#include "sources/DTAVVideoFile.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kestrel {

namespace {

const int output_width = 640;
// Heights beyond this are no picture anybody could show.
const double highest_output_height = 16384.0;
const dt_pixel_format_t output_pixel_format = dt_pixel_format_rgb24;
const int bicubic = 4;
const int output_sample_rate = 44100;

// Milliseconds covered by `length` units of the time base; 0 when either is
// unknown.
double milliseconds(dt_ts_t length, dt_rational_t time_base) {
    if (length == dt_no_ts || time_base.den == 0)
        return 0.0;
    return static_cast<double>(time_base.num) / time_base.den * 1000.0 *
           static_cast<double>(length);
}

int output_height(int width, int height) {
    if (width <= 0 || height <= 0)
        KESTREL_THROW(errors::invalid_argument());
    const double scaled = std::trunc(static_cast<double>(output_width) / width * height);
    if (!(scaled >= 1.0 && scaled <= highest_output_height))
        KESTREL_THROW(errors::invalid_argument());
    return static_cast<int>(scaled);
}

} // namespace

av_video_file_impl::av_video_file_impl(const char* path) {
    splitter_ = create_media_splitter(path);
    const unsigned int count = splitter_->get_file_info()->stream_count();
    int video = -1;
    int audio = -1;
    for (unsigned int i = 0; i < count; ++i) {
        const decoder_info_ptr info = splitter_->get_stream_info(i)->get_decoder_info();
        const int type = info ? info->media_type() : dt_media_type_unknown;
        if (type == dt_media_type_video && video < 0)
            video = static_cast<int>(i);
        else if (type == dt_media_type_audio && audio < 0)
            audio = static_cast<int>(i);
    }
    if (video >= 0)
        open_video(video, *splitter_->get_stream_info(static_cast<unsigned int>(video)));
    if (audio >= 0)
        open_audio(audio, *splitter_->get_stream_info(static_cast<unsigned int>(audio)));
    end_of_file_ = false;
}

av_video_file_impl::~av_video_file_impl() = default;

void av_video_file_impl::open_video(int index, const stream_info& stream) {
    const auto info = boost::dynamic_pointer_cast<video_decoder_info>(stream.get_decoder_info());
    if (!info)
        KESTREL_THROW(errors::invalid_argument());
    const int height = output_height(info->width(), info->height());
    video_decoder_ = create_video_decoder(*info);
    if (!video_decoder_)
        KESTREL_THROW(decoder::create_error());
    const dt_rational_t rate = stream.frame_rate();
    frame_rate_ = rate.den != 0 ? static_cast<double>(rate.num) / rate.den : 0.0;
    video_format_ = video_format::create(output_width, height, output_pixel_format);
    picture_converter_ = converter_from(info->width(), info->height(), info->pixel_format());
    video_duration_ = milliseconds(stream.duration(), stream.time_base());
    video_stream_index_ = index;
    video_source_.reset(new av_video_file_video_source(this));
    video_enabled_ = true;
}

void av_video_file_impl::open_audio(int index, const stream_info& stream) {
    const auto info = boost::dynamic_pointer_cast<audio_decoder_info>(stream.get_decoder_info());
    if (!info)
        KESTREL_THROW(errors::invalid_argument());
    audio_decoder_ = create_audio_decoder(*info);
    if (!audio_decoder_)
        KESTREL_THROW(decoder::create_error());
    decoded_format_ = audio_format::create(*info);
    audio_format_ = audio_format::create(output_sample_rate, sample_format_s16, 2, 3);
    audio_converter_ = create_audio_convert(audio_format_.get(), decoded_format_.get());
    audio_duration_ = milliseconds(stream.duration(), stream.time_base());
    audio_stream_index_ = index;
    audio_source_.reset(new av_video_file_audio_source(this));
    audio_enabled_ = true;
}

picture_convert_ptr av_video_file_impl::converter_from(int width, int height,
                                                      dt_pixel_format_t format) {
    picture_convert_ptr converter = picture_convert_creator::create(
        width, height, format, video_format_->width(), video_format_->height(),
        video_format_->pixel_format(), bicubic);
    picture_source_ = video_format::create(width, height, format);
    return converter;
}

bool av_video_file_impl::fetch_packet() {
    if (end_of_file_)
        return false;
    const media_packet_ptr packet = splitter_->read_packet();
    if (!packet) {
        end_of_file_ = true;
        return false;
    }
    if (packet->stream_index() == video_stream_index_ && video_enabled_)
        video_packets_.push(packet);
    else if (packet->stream_index() == audio_stream_index_ && audio_enabled_)
        audio_packets_.push(packet);
    return true;
}

media_packet_ptr av_video_file_impl::next_packet(packet_queue& queue) {
    return queue.take([this] { return fetch_packet(); });
}

video_data_timed_ptr av_video_file_impl::read_picture() {
    if (!video_enabled_)
        return video_data_timed_ptr();
    video_data_timed_ptr decoded;
    while (!decoded) {
        const media_packet_ptr packet = next_packet(video_packets_);
        if (!packet) {
            // The pictures a codec holds back for reordering come last.
            if (video_drained_)
                return video_data_timed_ptr();
            decoded = video_decoder_->decode_timed(media_packet_ptr());
            video_drained_ = !decoded;
            if (!decoded)
                return video_data_timed_ptr();
            break;
        }
        decoded = video_decoder_->decode_timed(packet);
    }
    // A stream may change its size or layout midway; every picture is
    // scaled from its own to the one output format.
    const video_data& source = *decoded->data;
    if (source.width() != picture_source_->width() ||
        source.height() != picture_source_->height() ||
        source.pixel_format() != picture_source_->pixel_format())
        picture_converter_ = converter_from(source.width(), source.height(), source.pixel_format());
    const video_data_ptr picture = picture_converter_->convert(decoded->data);
    video_position_ = decoded->start;
    return boost::make_shared<video_data_timed>(picture, decoded->duration, decoded->start);
}

void av_video_file_impl::drain_sound() {
    audio_drained_ = true;
    const audio_data_timed_ptr held = audio_decoder_->decode_timed(media_packet_ptr());
    if (held && held->data && held->data->samples() > 0)
        audio_converter_->push_back(held->data.get());
    audio_converter_->push_back(nullptr); // what the resampler still holds
}

audio_data_timed_ptr av_video_file_impl::read_sound(double duration) {
    if (!audio_enabled_)
        return audio_data_timed_ptr();
    const unsigned int frames = frames_to_read(duration, output_sample_rate);
    if (frames == 0)
        return audio_data_timed_ptr();
    while (audio_converter_->size() < frames) {
        const media_packet_ptr packet = next_packet(audio_packets_);
        if (!packet) {
            if (!audio_drained_)
                drain_sound();
            break;
        }
        const audio_data_timed_ptr block = audio_decoder_->decode_timed(packet);
        if (block && block->data && block->data->samples() > 0)
            audio_converter_->push_back(block->data.get());
    }
    return pop_timed(*audio_converter_, frames, output_sample_rate, audio_position_);
}

void av_video_file_impl::switch_video(bool on) {
    if (on && !video_enabled_) {
        video_packets_.clear();
        video_decoder_->reset();
        video_drained_ = false;
    }
    video_enabled_ = on;
}

void av_video_file_impl::switch_audio(bool on) {
    if (on && !audio_enabled_)
        restart_sound();
    audio_enabled_ = on;
}

void av_video_file_impl::restart_sound() {
    audio_packets_.clear();
    // Sound decoded or converted before is not what comes next, nor is what
    // the resampler holds of it.
    audio_converter_ = create_audio_convert(audio_format_.get(), decoded_format_.get());
    audio_decoder_->reset();
    audio_drained_ = false;
}

double av_video_file_impl::seek(double t) {
    if (std::isnan(t))
        KESTREL_THROW(errors::invalid_argument());
    // Pictures and sound held from before the seek are not the new place's.
    video_packets_.clear();
    if (video_decoder_)
        video_decoder_->reset();
    if (audio_decoder_)
        restart_sound();
    else
        audio_packets_.clear();
    const dt_rational_t time_base = splitter_->get_file_info()->time_base();
    const double stamp =
        time_base.num != 0 ? std::trunc(t / 1000.0 * time_base.den / time_base.num) : 0.0;
    const double limit = static_cast<double>(INT64_MAX / 2);
    splitter_->seek(static_cast<dt_ts_t>(std::max(-limit, std::min(limit, stamp))));
    audio_position_ = t;
    end_of_file_ = false;
    video_drained_ = false;
    return t;
}

double av_video_file_video_source::duration() const { return file_->video_duration_; }
double av_video_file_video_source::position() const { return file_->video_position_; }
bool av_video_file_video_source::enabled() const { return file_->video_enabled_; }
void av_video_file_video_source::set_enabled(bool enabled) { file_->switch_video(enabled); }
video_data_timed_ptr av_video_file_video_source::read() { return file_->read_picture(); }
video_format_ptr av_video_file_video_source::format() const { return file_->video_format_; }
double av_video_file_video_source::frame_rate() const { return file_->frame_rate_; }

double av_video_file_video_source::advance(double dt) {
    double passed = 0.0;
    while (dt > 0.0 && passed < dt) {
        const video_data_timed_ptr picture = read();
        if (!picture)
            break;
        passed += picture->duration;
    }
    return position();
}

double av_video_file_audio_source::duration() const { return file_->audio_duration_; }
double av_video_file_audio_source::position() const { return file_->audio_position_; }
bool av_video_file_audio_source::enabled() const { return file_->audio_enabled_; }
void av_video_file_audio_source::set_enabled(bool enabled) { file_->switch_audio(enabled); }
audio_data_timed_ptr av_video_file_audio_source::read(double duration) {
    return file_->read_sound(duration);
}
audio_format_ptr av_video_file_audio_source::format() const { return file_->audio_format_; }

double av_video_file_audio_source::advance(double dt) {
    read(dt);
    return position();
}

av_source_ptr create_av_video_file(const char* path) {
    return boost::make_shared<av_video_file>(path);
}

} // namespace kestrel
