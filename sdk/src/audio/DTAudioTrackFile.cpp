#include "audio/DTAudioTrackFile.h"

#include "files/DTAbandonableRead.h"
#include "files/DTFailureReason.h"
#include "files/DTLongWaits.h"
#include "files/DTPathFacts.h"
#include "files/DTRegularFile.h"

#include <boost/exception/get_error_info.hpp>
#include <boost/make_shared.hpp>

#include <sys/stat.h>

#include <cerrno>
#include <cmath>

namespace kestrel {

namespace {

// The first audio stream's index, or -1.
int first_audio_stream(media_splitter& splitter, audio_decoder_info_ptr& info) {
    const unsigned int count = splitter.get_file_info()->stream_count();
    for (unsigned int i = 0; i < count; ++i) {
        decoder_info_ptr codec = splitter.get_stream_info(i)->get_decoder_info();
        if (codec && codec->media_type() == dt_media_type_audio) {
            info = boost::dynamic_pointer_cast<audio_decoder_info>(codec);
            if (info)
                return static_cast<int>(i);
        }
    }
    return -1;
}

audio_decoder_ptr open_decoder(const audio_decoder_info& info) {
    audio_decoder_ptr decoder = create_audio_decoder(info);
    if (!decoder) // a codec that no FFmpeg decoder serves
        KESTREL_THROW(decoder::create_error() << errinfo_reason("its sound is in a form that cannot be played"));
    return decoder;
}

// What the path is, when that alone refuses it as music: missing, a
// folder, a pipe or device, empty; else nothing.
std::string refusal_by_kind(const std::string& path) {
    const path_facts facts = look_at_path(path);
    if (facts.error)
        return facts.reason;
    if (!S_ISREG(facts.mode))
        return irregular_file_reason(facts.mode);
    return facts.size == 0 ? "empty file" : std::string();
}

// Why the file could not be opened as music, for a failure that does not
// say it yet: what the path is, the file's access, else FFmpeg found no
// media it knows in it.
std::string opening_reason(const boost::exception& failure, const std::string& path) {
    const std::string by_kind = refusal_by_kind(path);
    if (!by_kind.empty())
        return by_kind;
    const int* code = boost::get_error_info<errinfo_errno>(failure);
    if (code && (*code == EACCES || *code == EPERM))
        return errors::file_access_reason(*code);
    return "not a sound file that can be read";
}

// The refusal of a failure that came through FFmpeg, which passes on only
// the errno of the file's own failure: a regular file's opening and reads
// give none of these but when they were refused so (files/DTAbandonableRead.h).
file_refusal opening_refusal(const boost::exception& failure) {
    if (const file_refusal* refusal = boost::get_error_info<errinfo_file_refusal>(failure))
        return *refusal;
    const int* code = boost::get_error_info<errinfo_errno>(failure);
    for (const file_refusal refusal :
         {file_refusal::earlier_calls_wait, file_refusal::does_not_answer, file_refusal::held_by_lease})
        if (code && *code == errno_of(refusal))
            return refusal;
    return file_refusal::none;
}

} // namespace

audio_track_file::audio_track_file(const std::string& path, const audio_format* format, bool loop)
try : loop_(loop) {
    splitter_ = create_media_splitter(path.c_str());
    stream_index_ = first_audio_stream(*splitter_, decoder_info_);
    if (stream_index_ < 0) // refused here rather than failing at every read
        KESTREL_THROW(errors::failure("no audio stream") << errinfo_reason("no sound in it"));

    decoder_ = open_decoder(*decoder_info_);
    const audio_format_ptr decoded =
        audio_format::create(decoder_info_->sample_rate(), decoder_info_->sample_format(),
                             decoder_info_->channels(), decoder_info_->channel_layout());
    track_format_ = audio_track_format(format);
    converter_ = create_audio_convert(track_format_.get(), decoded.get());

    stream_info_ptr stream = splitter_->get_stream_info(static_cast<unsigned int>(stream_index_));
    const dt_rational_t time_base = stream->time_base();
    if (stream->duration() != dt_no_ts && time_base.den != 0)
        duration_ = static_cast<double>(time_base.num) / time_base.den * 1000.0 *
                    static_cast<double>(stream->duration());
} catch (boost::exception& failure) {
    // Rethrown as it is, with the reason the user is shown.
    const file_refusal refusal = opening_refusal(failure);
    if (refusal != file_refusal::none)
        failure << errinfo_file_refusal(refusal) << errinfo_reason(log_words(refusal));
    else if (!boost::get_error_info<errinfo_reason>(failure))
        failure << errinfo_reason(opening_reason(failure, path));
}

double audio_track_file::duration() const {
    boost::lock_guard<boost::recursive_mutex> lock(mutex_);
    return duration_;
}

double audio_track_file::position() const {
    boost::lock_guard<boost::recursive_mutex> lock(mutex_);
    return position_;
}

audio_format_ptr audio_track_file::format() const {
    boost::lock_guard<boost::recursive_mutex> lock(mutex_);
    return track_format_;
}

double audio_track_file::advance(double dt) {
    boost::lock_guard<boost::recursive_mutex> lock(mutex_);
    read(dt);
    return position_;
}

audio_data_timed_ptr audio_track_file::read(double d) {
    boost::lock_guard<boost::recursive_mutex> lock(mutex_);
    const int rate = track_format_->sample_rate();
    const unsigned int wanted = frames_to_read(d, rate);
    if (wanted == 0)
        return audio_data_timed_ptr();
    while (converter_->size() < wanted) {
        media_packet_ptr packet = packets_.take([this] { return fill(); });
        if (!packet)
            break;
        push_decoded(packet);
    }
    return pop_timed(*converter_, wanted, rate, position_);
}

bool audio_track_file::fill() {
    while (!ended_) {
        media_packet_ptr packet = splitter_->read_packet();
        if (packet) {
            restarted_ = false;
            if (packet->stream_index() == stream_index_)
                packets_.push(packet);
            return true;
        }
        // The frames the codec held back end the file.
        push_decoded(media_packet_ptr());
        if (loop_ && !restarted_) {
            // The next pass decodes exactly as the first did.
            decoder_ = open_decoder(*decoder_info_);
            rewind();
            restarted_ = true;
            continue;
        }
        ended_ = true;
    }
    return false;
}

void audio_track_file::push_decoded(const media_packet_ptr& packet) {
    audio_data_timed_ptr decoded = decoder_->decode_timed(packet);
    if (decoded && decoded->data && decoded->data->samples() > 0)
        converter_->push_back(decoded->data.get());
}

double audio_track_file::seek(double t) {
    boost::lock_guard<boost::recursive_mutex> lock(mutex_);
    packets_.clear();
    converter_->pop(converter_->size());
    decoder_ = open_decoder(*decoder_info_);

    const dt_rational_t time_base = splitter_->get_file_info()->time_base();
    double v = t < 0.0 ? 0.0 : t;
    if (loop_ && duration_ > 0.0) {
        v -= std::trunc(v / duration_) * duration_;
    } else if (v > duration_) {
        v = duration_;
        t = duration_;
    }
    if (time_base.num == 0)
        return 0.0;
    position_ = t;
    // Reading may start again, also after the end.
    ended_ = false;
    restarted_ = false;
    const dt_ts_t target =
        static_cast<dt_ts_t>(std::trunc(v / 1000.0 * time_base.den / time_base.num));
    if (target > 0)
        splitter_->seek(target);
    else
        rewind();
    return position_;
}

void audio_track_file::rewind() {
    // Some files begin before time 0 (an encoder's priming frame, which the
    // decoder needs and then drops), and a seek to 0 would skip that; so aim
    // before the file's start, and take 0 where the format refuses that.
    file_info_general_ptr file = splitter_->get_file_info();
    const int64_t start =
        file->start_time() != dt_no_ts && file->start_time() < 0 ? file->start_time() : 0;
    const dt_rational_t time_base = file->time_base();
    const int64_t one_second = time_base.num > 0 ? time_base.den / time_base.num : 0;
    try {
        splitter_->seek(start - one_second);
    } catch (const media_splitter::error&) {
        splitter_->seek(0);
    }
}

audio_track_ptr create_audio_track_file(const std::string& path, const audio_format* format,
                                        bool loop) {
    return boost::make_shared<audio_track_file>(path, format, loop);
}

} // namespace kestrel
