#pragma once
// The one allocator of the library's own byte buffers (packet bytes, codec
// extra data): malloc and free. AllocBuffer throws std::bad_alloc, also for
// a count whose byte size does not fit in size_t; FreeBuffer takes the
// address of the pointer, frees it and sets it to null (null does nothing).
// Buffers that FFmpeg may free itself come from ff_alloc instead.

#include <boost/throw_exception.hpp>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace kestrel {
namespace Allocator {

template <class T>
struct DefaultBufferAllocator {
    static T* AllocBuffer(size_t n) {
        if (n > SIZE_MAX / sizeof(T))
            BOOST_THROW_EXCEPTION(std::bad_alloc());
        // malloc(0) may give null; every successful call gives a buffer.
        T* buffer = static_cast<T*>(std::malloc(n ? n * sizeof(T) : 1));
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

typedef DefaultArrayAllocator<uint8_t, DefaultBufferAllocator> default_byte_allocator;

} // namespace Allocator
} // namespace kestrel
