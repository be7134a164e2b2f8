#pragma once
// The show's sound: the music (or endless silence) behind a proxy whose
// length may come from the show, faded out at the end of the show. The
// music is replaced on the GUI thread while the preview or the producer
// reads the sound on theirs, so one lock guards every operation on the
// chain and every change of the music or the fade.
//
// Lock order: taken after the renderer's lock and before the slide list's
// (the length function may count the slides); nothing under it takes the
// renderer's lock.

#include "audio/DTAudioTrackFadeOut.h"
#include "audio/DTAudioTrackProxy.h"

#include <boost/thread/lock_guard.hpp>
#include <boost/thread/mutex.hpp>

namespace kestrel {
namespace slideshow2 {

class show_audio_track : public audio_track {
public:
    // `length` answers the show's audio length, 0.0 to follow the music.
    explicit show_audio_track(const audio_track_proxy::duration_function& length);

    // An empty track installs silence that never ends.
    void set_music(const audio_track_ptr& music);
    // Fades from `start` to silence at `start` + `length` (ms).
    void set_fade(double start, double length);
    // The proxy's length: the length function's value when above 0, else
    // the music's.
    double music_duration() const;

    double duration() const override;
    double position() const override;
    double advance(double dt) override;
    double seek(double t) override;
    audio_data_timed_ptr read(double duration) override;
    audio_format_ptr format() const override;

private:
    mutable boost::mutex mutex_;
    audio_track_proxy::duration_function length_;
    audio_track_proxy music_;
    audio_track_fade_out faded_; // over music_
};

} // namespace slideshow2
} // namespace kestrel
