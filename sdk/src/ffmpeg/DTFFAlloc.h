#pragma once
// Buffers that go into FFmpeg structures come from FFmpeg's allocator, so
// FFmpeg may free or reallocate them. Extra data gets zero padding behind it
// because FFmpeg's bitstream readers read a little past the end.

#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace kestrel {

// The zero bytes FFmpeg wants behind codec extra data.
const std::size_t ff_extradata_padding = AV_INPUT_BUFFER_PADDING_SIZE;

// size + extra bytes, the last extra of them zero; errors::bad_alloc when
// FFmpeg has no memory for them or the sum does not fit in size_t.
void ff_alloc(uint8_t** slot, std::size_t size, std::size_t extra);
// Null for no source or size 0, else an ff_alloc buffer holding a copy.
void ff_alloc_copy(uint8_t** slot, const uint8_t* source, std::size_t size, std::size_t extra);
void ff_free(uint8_t** slot);

} // namespace kestrel
