#pragma once
// A track that stands in for a replaceable inner track, so that whoever
// reads through it keeps working while the music is swapped. Its length
// may come from a function instead of the inner track.

#include "audio/DTAudioTrack.h"

#include <boost/function.hpp>

namespace kestrel {

class audio_track_proxy : public audio_track {
public:
    typedef boost::function<double()> duration_function;

    audio_track_proxy(const audio_track_ptr& inner, const duration_function& duration);
    explicit audio_track_proxy(const duration_function& duration);

    // Releases the previous inner track.
    void reset(const audio_track_ptr& inner, const duration_function& duration);

    // The function's value when it is set and above 0.0 (not NaN), else
    // the inner track's duration, else 0.0.
    double duration() const override;
    // Without an inner track: 0.0 and empty pointers.
    double position() const override;
    double advance(double dt) override;
    double seek(double t) override;
    audio_data_timed_ptr read(double duration) override;
    audio_format_ptr format() const override;

private:
    audio_track_ptr inner_;
    duration_function duration_;
};

} // namespace kestrel
