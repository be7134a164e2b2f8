#include "media/DTAudioConvert.h"

#include "ffmpeg/DTFFBridge.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cmath>

namespace kestrel {

audio_data_ptr audio_convert::convert(const audio_data* block) {
    push_back(block);
    return pop(size());
}

audio_convert_ptr create_audio_convert(const audio_format* target, const audio_format* source) {
    return create_ff_audio_convert(source, target);
}

unsigned int frames_to_read(double milliseconds, int rate) {
    const double frames = std::trunc(milliseconds / 1000.0 * rate + 0.5);
    if (!(frames >= 1.0))
        return 0;
    return static_cast<unsigned int>(std::min(frames, static_cast<double>(most_frames_per_read)));
}

audio_data_timed_ptr pop_timed(audio_buffer& converted, unsigned int frames, int rate,
                               double& position) {
    if (converted.size() == 0 || frames == 0)
        return audio_data_timed_ptr();
    const audio_data_ptr block = converted.pop(frames);
    const double length = 1000.0 * block->samples() / rate;
    const audio_data_timed_ptr timed = boost::make_shared<audio_data_timed>(block, length, position);
    position += length;
    return timed;
}

} // namespace kestrel
