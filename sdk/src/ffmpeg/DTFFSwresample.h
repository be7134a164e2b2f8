#pragma once
// The system's one audio converter: FFmpeg's libswresample changes sample
// rate, sample format, channel count and layout of everything pushed, and
// keeps its filter state between pushes, so consecutive blocks are
// resampled as one continuous stream.

#include "base/DTFixedMemoryBuffer.h"
#include "ffmpeg/DTFFHandles.h"
#include "media/DTAudioConvert.h"

namespace kestrel {

class ff_swresample : public audio_convert {
public:
    class error : public virtual errors::dt_error {};

    // Throws errors::invalid_pointer for a null format, errors::bad_alloc
    // when FFmpeg cannot allocate the resampler, ff_swresample::error when
    // it refuses the formats or a rate is not within 1 to 768000 Hz.
    ff_swresample(const audio_format* source, const audio_format* target);
};

// A resampler initialised from one format to the other.
SwrContextPtr swr_alloc_set_opts_(const audio_format& source, const audio_format& target);

class ff_swresample_impl : public audio_buffer::Impl {
public:
    ff_swresample_impl(const audio_format* source, const audio_format* target);

    // Converts the block (which must have the source's channel count and
    // sample format, else audio_buffer::invalid_format) and queues the
    // result; a null block drains what the resampler still holds.
    void push_back(const audio_data* block) override;
    audio_data_ptr pop(unsigned int frames) override { return output_->pop(frames); }
    // Bytes already in the target format, queued unconverted.
    void push(const uint8_t* bytes, unsigned int size) override { output_->push(bytes, size); }
    audio_format_ptr format() const override { return output_->format(); }
    unsigned int size() const override { return output_->size(); }

private:
    unsigned int output_capacity(const audio_data* block);

    SwrContextPtr context_;
    audio_buffer_ptr output_;
    utils::fixed_memory_buffer work_;
    audio_format_ptr source_;
    audio_format_ptr target_;
    // Bytes out per byte in.
    double ratio_;
};

} // namespace kestrel
