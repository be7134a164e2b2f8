#include "media/DTAudioBufferStorage.h"

#include <algorithm>

namespace kestrel {

namespace {

audio_format_ptr checked_copy(const audio_format* format) {
    if (!format)
        KESTREL_THROW(errors::invalid_pointer());
    // Without whole frames there is nothing to count or to split by channel.
    if (format->bytes_per_frame() == 0)
        KESTREL_THROW(audio_buffer::invalid_format());
    return audio_format::copy(*format);
}

} // namespace

audio_buffer_planar_impl::audio_buffer_planar_impl(const audio_format* format)
    : format_(checked_copy(format)), channels_(static_cast<std::size_t>(format_->channels())) {}

unsigned int audio_buffer_planar_impl::bytes_per_channel_sample() const {
    return format_->bytes_per_frame() / static_cast<unsigned int>(format_->channels());
}

void audio_buffer_planar_impl::push_back(const audio_data* block) {
    if (!block)
        return;
    // The planes are found from this buffer's format: a block of another
    // layout would be read past its end.
    if (block->channels() != format_->channels() ||
        block->sample_format() != format_->sample_format())
        KESTREL_THROW(audio_buffer::invalid_format());
    const unsigned int frames = block->samples();
    const unsigned int plane = frames * bytes_per_channel_sample();
    for (std::size_t channel = 0; channel < channels_.size(); ++channel)
        channels_[channel].push(block->data() + channel * plane, plane);
    held_ += frames;
}

audio_data_ptr audio_buffer_planar_impl::pop(unsigned int frames) {
    const unsigned int taken = std::min(frames, held_);
    const unsigned int plane = taken * bytes_per_channel_sample();
    uint8_t* storage = alloc_sample_bytes(static_cast<std::size_t>(plane) * channels_.size());
    for (std::size_t channel = 0; channel < channels_.size(); ++channel)
        channels_[channel].pop(storage + channel * plane, plane);
    held_ -= taken;
    return adopt_sample_bytes(*format_, storage,
                              plane * static_cast<unsigned int>(channels_.size()));
}

void audio_buffer_planar_impl::push(const uint8_t* bytes, unsigned int size) {
    if (!bytes || size == 0)
        return;
    // Borrowing is enough: push_back copies the planes at once.
    audio_data_common block(*format_, const_cast<uint8_t*>(bytes), size, dt_buffer_borrow);
    push_back(&block);
}

audio_buffer_same_format_impl::audio_buffer_same_format_impl(const audio_format* format)
    : format_(checked_copy(format)) {}

void audio_buffer_same_format_impl::push_back(const audio_data* block) {
    if (!block)
        return;
    if (!is_same_audio_format(*format_, *block))
        KESTREL_THROW(audio_buffer::invalid_format());
    chunks_.push(block->data(), block->size());
}

audio_data_ptr audio_buffer_same_format_impl::pop(unsigned int frames) {
    // Clamped in frames first: a byte count for what is not held could
    // wrap around or ask for memory nobody needs.
    const unsigned int wanted = std::min(frames, size()) * format_->bytes_per_frame();
    uint8_t* storage = alloc_sample_bytes(wanted);
    const unsigned int copied = chunks_.pop(storage, wanted);
    return adopt_sample_bytes(*format_, storage, copied);
}

void audio_buffer_same_format_impl::push(const uint8_t* bytes, unsigned int size) {
    if (!bytes)
        return;
    chunks_.push(bytes, size);
}

unsigned int audio_buffer_same_format_impl::size() const {
    return chunks_.held() / format_->bytes_per_frame();
}

} // namespace kestrel
