#include "DTShowAudioTrack.h"

#include "audio/DTAudioTrackEmpty.h"

#include <cfloat>

namespace kestrel {
namespace slideshow2 {

namespace {
audio_track_ptr endless_silence() { return audio_track_empty::create(nullptr, DBL_MAX); }
} // namespace

show_audio_track::show_audio_track(const audio_track_proxy::duration_function& length)
    : length_(length), music_(endless_silence(), length), faded_(&music_) {}

void show_audio_track::set_music(const audio_track_ptr& music) {
    audio_track_ptr installed = music ? music : endless_silence();
    boost::lock_guard<boost::mutex> lock(mutex_);
    music_.reset(installed, length_);
}

void show_audio_track::set_fade(double start, double length) {
    boost::lock_guard<boost::mutex> lock(mutex_);
    faded_.set_params(start, length, 0.0);
}

double show_audio_track::music_duration() const {
    boost::lock_guard<boost::mutex> lock(mutex_);
    return music_.duration();
}

double show_audio_track::duration() const {
    boost::lock_guard<boost::mutex> lock(mutex_);
    return faded_.duration();
}

double show_audio_track::position() const {
    boost::lock_guard<boost::mutex> lock(mutex_);
    return faded_.position();
}

double show_audio_track::advance(double dt) {
    boost::lock_guard<boost::mutex> lock(mutex_);
    return faded_.advance(dt);
}

double show_audio_track::seek(double t) {
    boost::lock_guard<boost::mutex> lock(mutex_);
    return faded_.seek(t);
}

audio_data_timed_ptr show_audio_track::read(double duration) {
    boost::lock_guard<boost::mutex> lock(mutex_);
    return faded_.read(duration);
}

audio_format_ptr show_audio_track::format() const {
    boost::lock_guard<boost::mutex> lock(mutex_);
    return faded_.format();
}

} // namespace slideshow2
} // namespace kestrel
