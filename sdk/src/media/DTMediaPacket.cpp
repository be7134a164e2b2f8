#include "media/DTMediaPacket.h"

#include "base/DTErrors.h"

#include <boost/make_shared.hpp>

#include <cstdint>
#include <cstring>

namespace kestrel {

namespace {

const std::size_t packet_copy_padding = 8;

typedef Allocator::DefaultBufferAllocator<uint8_t> byte_allocator;

template <class Source>
const Source& checked(const Source* source) {
    if (!source)
        KESTREL_THROW(errors::invalid_pointer());
    return *source;
}

} // namespace

media_packet::Impl::~Impl() = default;

media_packet_ptr media_packet::Impl::copy() const {
    return boost::make_shared<common_media_packet>(this);
}

void dt_alloc(uint8_t** buffer, std::size_t size, std::size_t padding) {
    if (!buffer)
        KESTREL_THROW(errors::invalid_pointer());
    *buffer = nullptr;
    // A sum that wraps around would make the padding land before the buffer.
    if (padding > SIZE_MAX - size)
        KESTREL_THROW(errors::bad_alloc());
    try {
        *buffer = byte_allocator::AllocBuffer(size + padding);
    } catch (const std::bad_alloc&) {
        KESTREL_THROW(errors::bad_alloc());
    }
    std::memset(*buffer + size, 0, padding);
}

void copy_packet_bytes(uint8_t** buffer, std::size_t size, const uint8_t* source) {
    *buffer = nullptr;
    if (source && size) {
        dt_alloc(buffer, size, packet_copy_padding);
        std::memcpy(*buffer, source, size);
    }
}

void free_packet_bytes(uint8_t** buffer) { byte_allocator::FreeBuffer(buffer); }

bool make_owned_buffer(uint8_t* data, size_t size, dt_own_buffer_t own, dt_alloc_function alloc,
                       dt_free_function free, boost::shared_ptr<uint8_t>& buffer) {
    switch (own) {
    case dt_buffer_borrow:
        buffer.reset(data, utils::no_delete());
        return true;
    case dt_buffer_adopt:
        buffer.reset(data, utils::func_deleter<uint8_t>(free));
        return true;
    case dt_buffer_copy: {
        if (!alloc)
            KESTREL_THROW(errors::invalid_operation());
        if (size && !data)
            KESTREL_THROW(errors::invalid_pointer());
        uint8_t* copy = nullptr;
        if (size) {
            copy = alloc(size);
            std::memcpy(copy, data, size);
        }
        buffer.reset(copy, utils::func_deleter<uint8_t>(free));
        return true;
    }
    default:
        return false;
    }
}

template <class Source>
common_media_packet2_impl::common_media_packet2_impl(const Source& source)
    : pts_(source.pts()), dts_(source.dts()), size_(static_cast<size_t>(source.size())),
      stream_index_(source.stream_index()), flags_(source.flags()),
      duration_(source.duration()), pos_(source.pos()), media_type_(source.media_type()),
      ffmpeg_packet_(source.ffmpeg_packet()), time_base_(source.time_base()),
      frame_rate_(source.frame_rate()), alloc_(&byte_allocator::AllocBuffer),
      free_(&byte_allocator::FreeBuffer) {
    // The size stays the source's even when there are no bytes to copy.
    uint8_t* bytes = nullptr;
    copy_packet_bytes(&bytes, source.size() > 0 ? size_ : 0, source.data());
    data_.reset(bytes, utils::func_deleter<uint8_t>(free_));
}

template common_media_packet2_impl::common_media_packet2_impl(const media_packet&);
template common_media_packet2_impl::common_media_packet2_impl(const media_packet::Impl&);

void common_media_packet2_impl::setter::set_data(const boost::shared_ptr<uint8_t>& buffer,
                                                 size_t size) {
    packet_->data_ = buffer;
    packet_->size_ = size;
}

void common_media_packet2_impl::setter::set_data(uint8_t* data, size_t size,
                                                 dt_own_buffer_t own) {
    boost::shared_ptr<uint8_t> buffer;
    if (make_owned_buffer(data, size, own, packet_->alloc_, packet_->free_, buffer))
        set_data(buffer, size);
}

common_media_packet::common_media_packet(const media_packet* source)
    : media_packet(new common_media_packet2_impl(checked(source))) {}

common_media_packet::common_media_packet(const media_packet::Impl* source)
    : media_packet(new common_media_packet2_impl(checked(source))) {}

} // namespace kestrel
