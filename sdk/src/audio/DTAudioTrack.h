#pragma once
// A timed audio stream that its reader pulls in blocks of a requested
// duration; the position moves with each read, advance or seek. Times are
// milliseconds. A read with nothing more to give returns an empty pointer.

#include "base/DTTypes.h"
#include "media/DTAudioFormat.h"

#include <boost/shared_ptr.hpp>

namespace kestrel {

class audio_track {
public:
    virtual ~audio_track() = default;

    virtual double duration() const = 0;
    virtual double position() const = 0;
    // Moves forward without reading; returns the new position.
    virtual double advance(double dt) = 0;
    // Returns the new position.
    virtual double seek(double t) = 0;
    // The next block of at most `duration` ms; empty at the end.
    virtual audio_data_timed_ptr read(double duration) = 0;
    // The format of the blocks that read returns.
    virtual audio_format_ptr format() const = 0;
};

typedef boost::shared_ptr<audio_track> audio_track_ptr;

// A copy of the format a track is asked for, or the tracks' default for
// none: 44100 Hz, signed 16-bit, stereo (layout 3).
audio_format_ptr audio_track_format(const audio_format* format);

} // namespace kestrel
