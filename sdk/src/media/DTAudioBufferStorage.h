#pragma once
// The two storages behind plain audio buffers. Planar samples are kept per
// channel, so that blocks joined in the buffer keep each channel's samples
// together and in order; interleaved samples are kept frame after frame.

#include "media/DTAudioBuffer.h"
#include "media/DTSampleChunkQueue.h"

#include <vector>

namespace kestrel {

class audio_buffer_planar_impl : public audio_buffer::Impl {
public:
    // Throws errors::invalid_pointer for null, audio_buffer::invalid_format
    // for a format without whole frames.
    explicit audio_buffer_planar_impl(const audio_format* format);

    // Takes the block's planes one after another; a null block changes
    // nothing, a block of another channel count or sample format throws
    // audio_buffer::invalid_format.
    void push_back(const audio_data* block) override;
    audio_data_ptr pop(unsigned int frames) override;
    void push(const uint8_t* bytes, unsigned int size) override;
    audio_format_ptr format() const override { return format_; }
    unsigned int size() const override { return held_; }

private:
    unsigned int bytes_per_channel_sample() const;

    audio_format_ptr format_;
    unsigned int held_ = 0;
    std::vector<sample_chunk_queue> channels_;
};

class audio_buffer_same_format_impl : public audio_buffer::Impl {
public:
    explicit audio_buffer_same_format_impl(const audio_format* format);

    // A null block changes nothing; a block that is not of the same format
    // (is_same_audio_format) throws audio_buffer::invalid_format.
    void push_back(const audio_data* block) override;
    audio_data_ptr pop(unsigned int frames) override;
    void push(const uint8_t* bytes, unsigned int size) override;
    audio_format_ptr format() const override { return format_; }
    unsigned int size() const override;

private:
    sample_chunk_queue chunks_;
    audio_format_ptr format_;
};

} // namespace kestrel
