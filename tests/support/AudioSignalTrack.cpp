#include "support/AudioSignalTrack.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cmath>

namespace kestrel {
namespace test {

signal_track::signal_track(const audio_format& format, const audio_signal& signal,
                           double duration_ms)
    : format_(audio_format::copy(format)), signal_(signal), duration_(duration_ms) {}

long long signal_track::frame_at(double t) const {
    return std::llround(t * format_->sample_rate() / 1000.0);
}

double signal_track::position() const { return frame_ * 1000.0 / format_->sample_rate(); }

double signal_track::advance(double dt) { return seek(position() + dt); }

double signal_track::seek(double t) {
    frame_ = frame_at(t);
    return position();
}

audio_data_timed_ptr signal_track::read(double duration) {
    ++reads_;
    const long long left = frame_at(duration_) - frame_;
    const long long frames = std::min(frame_at(duration), left);
    if (frames <= 0 || frame_ < 0)
        return audio_data_timed_ptr();
    const double start = position();
    audio_data_ptr block = make_audio(*format_, static_cast<unsigned int>(frames), signal_,
                                      static_cast<unsigned int>(frame_));
    frame_ += frames;
    return boost::make_shared<audio_data_timed>(block, position() - start, start);
}

} // namespace test
} // namespace kestrel
