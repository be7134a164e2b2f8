#pragma once
// A change of audio format as a buffer: blocks pushed in the source format
// are converted at once; pops hand out converted frames in the target
// format. Every converter is an FFmpeg resampler (ff_swresample).

#include "DTAudioBuffer.h"

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

} // namespace kestrel
