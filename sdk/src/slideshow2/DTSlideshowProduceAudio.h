#pragma once
// The show's sound as the producer writes it: blocks read from the show's
// audio source up to a given show time, and silence wherever the source has
// nothing to give (no source, a show without music, music that ended early
// or could not be read), so that the sound always lasts exactly as long as
// the pictures. Times in ms; the position counts the samples handed out.
// Used by the producer's worker alone.

#include "base/DTTypes.h"
#include "media/DTAudioFormat.h"
#include "sources/DTMediaSource.h"

namespace kestrel {
namespace slideshow2 {

class produce_audio_feed {
public:
    // source: not owned, may be null (silence only). format: the blocks'
    // format, the source's own when there is a source.
    produce_audio_feed(audio_source* source, const audio_format_ptr& format);

    // The next block towards `until`, or an empty pointer once the sound
    // reaches it (or lies beyond it). Call until it gives nothing.
    audio_data_timed_ptr read_until(double until);

    double position() const { return position_; }
    // The source gave nothing although sound was asked for.
    bool source_ended() const { return source_ended_; }

private:
    audio_source* source_;
    audio_format_ptr format_;
    double position_ = 0.0;
    bool source_ended_ = false;
};

} // namespace slideshow2
} // namespace kestrel
