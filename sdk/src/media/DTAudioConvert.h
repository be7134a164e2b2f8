#pragma once
// A change of audio format as a buffer: blocks pushed in the source format
// are converted at once; pops hand out converted frames in the target
// format. Every converter is an FFmpeg resampler (ff_swresample).

#include "media/DTAudioBuffer.h"

#include <boost/shared_ptr.hpp>

namespace kestrel {

class audio_convert;
typedef boost::shared_ptr<audio_convert> audio_convert_ptr;

// push_back converts and queues (a null block flushes what the converter
// still holds); push appends bytes that are already in the target format;
// pop, size and format concern converted frames.
class audio_convert : public audio_buffer {
public:
    explicit audio_convert(Impl* impl) : audio_buffer(impl) {}

    // push_back, then everything converted so far as one block.
    audio_data_ptr convert(const audio_data* block);
};

// The target comes first.
audio_convert_ptr create_audio_convert(const audio_format* target, const audio_format* source);

// What the sources that read through a converter share.
// The most frames one read hands out (64 MiB of 16-bit stereo): a longer
// ask gets a shorter block, as at the end of a file.
const unsigned int most_frames_per_read = 1u << 24;
// The frames in `milliseconds` at `rate`, rounded to the nearest, at most
// most_frames_per_read; 0 for under half a frame and for a negative or NaN
// length.
unsigned int frames_to_read(double milliseconds, int rate);
// Up to `frames` frames from the front of the buffer as a block that starts
// at `position` ms, which then moves past it; empty when it holds none.
audio_data_timed_ptr pop_timed(audio_buffer& converted, unsigned int frames, int rate,
                               double& position);

} // namespace kestrel
