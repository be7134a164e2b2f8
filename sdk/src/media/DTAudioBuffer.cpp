#include "media/DTAudioBuffer.h"

#include "media/DTAudioBufferStorage.h"

#include <boost/make_shared.hpp>

namespace kestrel {

audio_buffer_ptr audio_buffer::create(int kind, const audio_format* format) {
    if (kind != 0)
        return audio_buffer_ptr();
    return boost::make_shared<audio_buffer_same_format>(format);
}

namespace {
audio_buffer::Impl* checked_storage(const audio_format* format) {
    // A facade without storage would fail on its first call.
    if (!format)
        KESTREL_THROW(errors::invalid_pointer());
    return create_audio_buffer(format);
}
} // namespace

audio_buffer_same_format::audio_buffer_same_format(const audio_format* format)
    : audio_buffer(checked_storage(format)) {}

audio_buffer::Impl* create_audio_buffer(const audio_format* format) {
    if (!format)
        return nullptr;
    if (format->is_planar())
        return new audio_buffer_planar_impl(format);
    return new audio_buffer_same_format_impl(format);
}

bool is_same_audio_format(const audio_format& format, const audio_data& block) {
    return block.channels() == format.channels() &&
           block.sample_format() == format.sample_format() &&
           block.channel_layout() == format.channel_layout();
}

} // namespace kestrel
