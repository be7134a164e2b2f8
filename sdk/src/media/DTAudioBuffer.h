#pragma once
// A queue of audio frames in one format: blocks or raw bytes go in at the
// back, any number of frames comes out at the front as a new block. It is
// how sound is re-blocked: producers push blocks of whatever length they
// make, consumers pop exactly the frames they need. Converters and filters
// are buffers too; they change what is pushed before it is queued.

#include "base/DTBase.h"
#include "base/DTErrors.h"
#include "media/DTAudioData.h"
#include "media/DTAudioFormat.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>

namespace kestrel {

class audio_buffer;
typedef boost::shared_ptr<audio_buffer> audio_buffer_ptr;

class audio_buffer : public facade<audio_buffer> {
public:
    class invalid_format : public virtual errors::dt_error {
    public:
        invalid_format() : errors::dt_error("Invalid audio format") {}
    };

    class Impl : public impl_base {
    public:
        // Appends a copy of the block's frames.
        virtual void push_back(const audio_data* block) = 0;
        // Up to `frames` frames from the front as a new block that owns its
        // bytes; never null (0 frames when the buffer is empty).
        virtual audio_data_ptr pop(unsigned int frames) = 0;
        // Appends a copy of bytes laid out in the buffer's own format.
        virtual void push(const uint8_t* bytes, unsigned int size) = 0;
        virtual audio_format_ptr format() const = 0;
        // Frames held.
        virtual unsigned int size() const = 0;
    };

    // Kind 0 is a plain buffer for the format; other kinds give null.
    static audio_buffer_ptr create(int kind, const audio_format* format);

    explicit audio_buffer(Impl* impl) : facade(impl) {}

    void push_back(const audio_data* block) { impl()->push_back(block); }
    audio_data_ptr pop(unsigned int frames) { return impl()->pop(frames); }
    void push(const uint8_t* bytes, unsigned int size) { impl()->push(bytes, size); }
    audio_format_ptr format() const { return impl()->format(); }
    unsigned int size() const { return impl()->size(); }
};

// A buffer that keeps the format it is given: planar storage for planar
// sample formats, interleaved storage for the others. A null format throws
// errors::invalid_pointer; a format without whole frames (no channels, an
// unknown sample format) throws audio_buffer::invalid_format.
class audio_buffer_same_format : public audio_buffer {
public:
    explicit audio_buffer_same_format(const audio_format* format);
};

// The storage for a format, owned by the caller; null for a null format.
audio_buffer::Impl* create_audio_buffer(const audio_format* format);

// Same channel count, sample format and channel layout; the rate is not
// compared.
bool is_same_audio_format(const audio_format& format, const audio_data& block);

} // namespace kestrel
