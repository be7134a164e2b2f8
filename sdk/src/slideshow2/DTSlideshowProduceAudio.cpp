#include "slideshow2/DTSlideshowProduceAudio.h"

#include "base/DTLog.h"
#include "media/DTAudioData.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cmath>

namespace kestrel {
namespace slideshow2 {

namespace {
// Absorbs the rounding of ms positions, so that a wanted length of exactly
// n samples is not read as n - 1.
const double sample_epsilon = 1e-6;
// Silence goes out in blocks of at most one second.
const double max_silence_ms = 1000.0;
} // namespace

produce_audio_feed::produce_audio_feed(audio_source* source, const audio_format_ptr& format)
    : source_(source), format_(format) {
    if (!format_ || format_->sample_rate() <= 0 || format_->bytes_per_frame() == 0)
        KESTREL_THROW(errors::invalid_argument());
}

audio_data_timed_ptr produce_audio_feed::read_until(double until) {
    const double rate = format_->sample_rate();
    const double wanted = until - position_;
    const double frames = std::floor(wanted * rate / 1000.0 + sample_epsilon);
    if (!(frames >= 1.0))
        return audio_data_timed_ptr();

    const double start = position_;
    if (source_ && !source_ended_) {
        const audio_data_timed_ptr block = source_->read(wanted);
        if (block && block->data && block->data->samples() > 0) {
            position_ += block->data->samples() * 1000.0 / rate;
            return boost::make_shared<audio_data_timed>(block->data, position_ - start, start);
        }
        source_ended_ = true;
        log_line(logger::info()) << "[slideshow_produce] sound ended at " << start
                                 << " ms, silence follows" << std::endl;
    }
    const double silent_frames = std::min(frames, std::floor(max_silence_ms * rate / 1000.0));
    const audio_data_ptr silence =
        create_silence_frames(*format_, static_cast<unsigned int>(silent_frames));
    position_ += silent_frames * 1000.0 / rate;
    return boost::make_shared<audio_data_timed>(silence, position_ - start, start);
}

} // namespace slideshow2
} // namespace kestrel
