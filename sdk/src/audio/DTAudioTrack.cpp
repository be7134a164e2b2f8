#include "audio/DTAudioTrack.h"

namespace kestrel {

audio_format_ptr audio_track_format(const audio_format* format) {
    if (format)
        return audio_format::copy(*format);
    return audio_format::create(44100, sample_format_s16, 2, 3);
}

} // namespace kestrel
