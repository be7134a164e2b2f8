#pragma once
// A queue of sample bytes kept as the chunks they arrived in: each push is
// one allocation; reads take bytes from the front, remembering how far into
// the oldest chunk they got, and free a chunk as soon as it is used up.
// Nothing is ever shifted or grown.

#include <cstdint>
#include <deque>
#include <memory>

namespace kestrel {

class sample_chunk_queue {
public:
    // Copies the bytes; a count of 0 appends nothing.
    void push(const uint8_t* bytes, unsigned int count);
    // Copies up to `wanted` bytes from the front into `destination`;
    // returns how many were copied.
    unsigned int pop(uint8_t* destination, unsigned int wanted);
    unsigned int held() const { return held_; }

private:
    struct chunk {
        std::unique_ptr<uint8_t[]> bytes;
        unsigned int read;
        unsigned int unread;
    };

    std::deque<chunk> chunks_;
    unsigned int held_ = 0;
};

} // namespace kestrel
