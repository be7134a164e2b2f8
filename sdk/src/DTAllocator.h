#pragma once
// The allocator behind the library's own packets and codec extra data:
// malloc and free, with std::bad_alloc when malloc fails.

#include <boost/throw_exception.hpp>

#include <cstdlib>
#include <new>

namespace kestrel {
namespace Allocator {

template <class T>
struct DefaultBufferAllocator {
    static T* AllocBuffer(size_t n) {
        T* buffer = static_cast<T*>(std::malloc(n * sizeof(T)));
        if (!buffer)
            BOOST_THROW_EXCEPTION(std::bad_alloc());
        return buffer;
    }
    static void FreeBuffer(T** buffer) {
        if (!buffer)
            return;
        std::free(*buffer);
        *buffer = nullptr;
    }
};

// Installs its allocator's two functions into the implementations that
// derived facades build.
template <class T, template <class> class BufferAllocator>
struct DefaultArrayAllocator {
    typedef T* (*alloc_function)(size_t);
    typedef void (*free_function)(T**);
    static alloc_function alloc_buffer() { return &BufferAllocator<T>::AllocBuffer; }
    static free_function free_buffer() { return &BufferAllocator<T>::FreeBuffer; }
};

} // namespace Allocator
} // namespace kestrel
