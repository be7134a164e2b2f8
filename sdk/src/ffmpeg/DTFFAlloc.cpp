#include "DTFFAlloc.h"

#include "DTFFGlobal.h"
#include "base/DTErrors.h"

#include <cstdint>
#include <cstring>

namespace kestrel {

namespace {
const ffmpeg_global_init_request ffmpeg_init;
}

void ff_alloc(uint8_t** slot, std::size_t size, std::size_t extra) {
    if (!slot)
        KESTREL_THROW(errors::invalid_pointer());
    *slot = nullptr;
    // A sum that wraps around would put the zeroed tail before the buffer.
    if (extra > SIZE_MAX - size)
        KESTREL_THROW(errors::bad_alloc() << errinfo_api_function("av_malloc"));
    *slot = static_cast<uint8_t*>(av_malloc(size + extra));
    if (!*slot)
        KESTREL_THROW(errors::bad_alloc());
    if (extra)
        std::memset(*slot + size, 0, extra);
}

void ff_alloc_copy(uint8_t** slot, const uint8_t* source, std::size_t size, std::size_t extra) {
    *slot = nullptr;
    if (source && size) {
        ff_alloc(slot, size, extra);
        std::memcpy(*slot, source, size);
    }
}

void ff_free(uint8_t** slot) { av_freep(slot); }

} // namespace kestrel
