#include "media/DTSampleChunkQueue.h"

#include <algorithm>
#include <cstring>

namespace kestrel {

void sample_chunk_queue::push(const uint8_t* bytes, unsigned int count) {
    if (count == 0)
        return;
    chunk fresh{std::unique_ptr<uint8_t[]>(new uint8_t[count]), 0, count};
    std::memcpy(fresh.bytes.get(), bytes, count);
    chunks_.push_back(std::move(fresh));
    held_ += count;
}

unsigned int sample_chunk_queue::pop(uint8_t* destination, unsigned int wanted) {
    unsigned int copied = 0;
    while (copied < wanted && !chunks_.empty()) {
        chunk& oldest = chunks_.front();
        const unsigned int step = std::min(wanted - copied, oldest.unread);
        std::memcpy(destination + copied, oldest.bytes.get() + oldest.read, step);
        oldest.read += step;
        oldest.unread -= step;
        copied += step;
        held_ -= step;
        if (oldest.unread == 0)
            chunks_.pop_front();
    }
    return copied;
}

} // namespace kestrel
