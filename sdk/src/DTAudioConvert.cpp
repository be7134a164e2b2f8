#include "DTAudioConvert.h"

#include "ffmpeg/DTFFSwresample.h"

#include <boost/make_shared.hpp>

namespace kestrel {

audio_data_ptr audio_convert::convert(const audio_data* block) {
    push_back(block);
    return pop(size());
}

audio_convert_ptr create_audio_convert(const audio_format* target, const audio_format* source) {
    return boost::make_shared<ff_swresample>(source, target);
}

} // namespace kestrel
