#include "base/DTFixedMemoryBuffer.h"

#include <boost/throw_exception.hpp>

#include <cstdlib>
#include <new>

namespace kestrel {
namespace utils {

fixed_memory_buffer::~fixed_memory_buffer() { std::free(data_); }

uint8_t* fixed_memory_buffer::get_buffer(std::size_t size) {
    if (size > capacity_) {
        // Nothing needs keeping, so a fresh block is cheaper than realloc.
        std::free(data_);
        data_ = nullptr;
        capacity_ = size_ = 0;
        data_ = static_cast<uint8_t*>(std::malloc(size));
        if (!data_)
            BOOST_THROW_EXCEPTION(std::bad_alloc());
        capacity_ = size;
    }
    size_ = size;
    return data_;
}

} // namespace utils
} // namespace kestrel
