#pragma once
// Scratch memory that is reused across calls and only ever grows, so that
// steady streaming stops allocating once the largest request has been seen.

#include <boost/noncopyable.hpp>

#include <cstddef>
#include <cstdint>

namespace kestrel {
namespace utils {

class fixed_memory_buffer : private boost::noncopyable {
public:
    fixed_memory_buffer() = default;
    ~fixed_memory_buffer();

    // At least `size` bytes; earlier contents do not survive a growth.
    // Throws std::bad_alloc, after which the buffer holds nothing.
    uint8_t* get_buffer(std::size_t size);

    uint8_t* data() const { return data_; }
    std::size_t capacity() const { return capacity_; }
    // The size of the latest request.
    std::size_t size() const { return size_; }

private:
    uint8_t* data_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};

} // namespace utils
} // namespace kestrel
