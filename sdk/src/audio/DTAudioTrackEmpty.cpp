#include "audio/DTAudioTrackEmpty.h"

#include "media/DTAudioData.h"

#include <boost/make_shared.hpp>

#include <cfloat>
#include <cmath>

namespace kestrel {

namespace {

const double track_forever = DBL_MAX;

// One block of silence holds at most this much, however long the read: a
// longer one could not be counted or allocated.
const double max_block_bytes = 64.0 * 1024 * 1024;

// The frames between two times, counted on the track's own frame grid, so
// that reads of any length join without losing or adding a frame.
unsigned int frames_between(double from, double length, int rate) {
    const double per_ms = rate / 1000.0;
    const double plain = std::trunc(length * per_ms);
    // Nudge over rounding noise such as 0.04 * 44100 = 1763.9999...
    const double nudge = 1e-6;
    const double on_grid = std::floor((from + length) * per_ms + nudge) - std::floor(from * per_ms + nudge);
    // Far out on the time line doubles lose the grid; fall back then.
    const bool grid_usable = std::fabs(from * per_ms) < 1e12 && on_grid >= 0.0 && on_grid <= plain + 1.0;
    const double frames = grid_usable ? on_grid : plain;
    return frames > 0.0 ? static_cast<unsigned int>(frames) : 0u;
}

} // namespace

audio_track_empty::audio_track_empty(const audio_format* format, double duration)
    : format_(audio_track_format(format)), duration_(duration) {}

audio_track_empty::audio_track_empty(const audio_format* format)
    : audio_track_empty(format, track_forever) {}

audio_track_ptr audio_track_empty::create(const audio_format* format, double duration) {
    return boost::make_shared<audio_track_empty>(format, duration);
}

audio_data_timed_ptr audio_track_empty::read(double duration) {
    double length = duration_ - position_;
    if (length > duration)
        length = duration;
    const double longest =
        std::floor(max_block_bytes / format_->bytes_per_frame()) * 1000.0 / format_->sample_rate();
    if (length > longest)
        length = longest;
    if (!(length > 0.0))
        return audio_data_timed_ptr();
    const audio_data_ptr silence = create_silence_frames(
        *format_, frames_between(position_, length, format_->sample_rate()));
    const audio_data_timed_ptr block = boost::make_shared<audio_data_timed>(silence, length, position_);
    position_ += length;
    return block;
}

audio_track_ptr create_audio_track_empty(const audio_format* format) {
    return boost::make_shared<audio_track_empty>(format);
}

} // namespace kestrel
