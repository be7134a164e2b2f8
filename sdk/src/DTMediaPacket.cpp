#include "DTMediaPacket.h"

#include "DTErrors.h"

#include <boost/make_shared.hpp>

#include <cstdlib>
#include <cstring>

namespace kestrel {

namespace {
const std::size_t packet_copy_padding = 8;
}

media_packet::Impl::~Impl() = default;

media_packet_ptr media_packet::Impl::copy() const {
    return boost::make_shared<common_media_packet>(this);
}

media_packet::~media_packet() { delete impl_; }

void dt_alloc(uint8_t** buffer, std::size_t size, std::size_t padding) {
    if (!buffer)
        KESTREL_THROW(errors::invalid_pointer());
    *buffer = static_cast<uint8_t*>(std::malloc(size + padding));
    if (!*buffer)
        KESTREL_THROW(errors::bad_alloc());
    std::memset(*buffer + size, 0, padding);
}

void copy_packet_bytes(uint8_t** buffer, std::size_t size, const uint8_t* source) {
    *buffer = nullptr;
    if (source && size) {
        dt_alloc(buffer, size, packet_copy_padding);
        std::memcpy(*buffer, source, size);
    }
}

void free_packet_bytes(uint8_t** buffer) {
    if (!buffer || !*buffer)
        return;
    std::free(*buffer);
    *buffer = nullptr;
}

common_media_packet_impl::common_media_packet_impl(const media_packet* source) {
    copy_from(source);
}

common_media_packet_impl::common_media_packet_impl(const media_packet::Impl* source) {
    copy_from(source);
}

template <class Source>
void common_media_packet_impl::copy_from(const Source* source) {
    if (!source)
        KESTREL_THROW(errors::invalid_pointer());
    size_ = source->size();
    copy_packet_bytes(&data_, size_ > 0 ? static_cast<std::size_t>(size_) : 0, source->data());
    pts_ = source->pts();
    dts_ = source->dts();
    stream_index_ = source->stream_index();
    flags_ = source->flags();
    duration_ = source->duration();
    pos_ = source->pos();
    media_type_ = source->media_type();
    ffmpeg_packet_ = source->ffmpeg_packet();
    time_base_ = source->time_base();
    frame_rate_ = source->frame_rate();
}

common_media_packet_impl::~common_media_packet_impl() { free_packet_bytes(&data_); }

common_media_packet::common_media_packet(const media_packet* source)
    : media_packet(new common_media_packet_impl(source)) {}

common_media_packet::common_media_packet(const media_packet::Impl* source)
    : media_packet(new common_media_packet_impl(source)) {}

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

} // namespace kestrel
