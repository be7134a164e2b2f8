#pragma once
// One piece of encoded media with its time stamps (in ticks of time_base),
// stream index, flags and media type. Packets do not change after they
// leave their maker.

#include "base/DTAllocator.h"
#include "base/DTBase.h"
#include "base/DTTypes.h"
#include "base/DTUtils.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>

namespace kestrel {

class media_packet;
typedef boost::shared_ptr<media_packet> media_packet_ptr;

class media_packet : public facade<media_packet> {
public:
    class Impl : public impl_base {
    public:
        ~Impl() override;
        virtual dt_ts_t pts() const = 0;
        virtual dt_ts_t dts() const = 0;
        virtual uint8_t* data() const = 0;
        virtual int size() const = 0;
        virtual int stream_index() const = 0;
        virtual int flags() const = 0;
        virtual int duration() const = 0;
        virtual dt_ts_t pos() const = 0;
        virtual int media_type() const = 0;
        virtual bool ffmpeg_packet() const = 0;
        // An independent packet with the same properties and its own bytes.
        virtual media_packet_ptr copy() const;
        virtual dt_rational_t time_base() const = 0;
        virtual dt_rational_t frame_rate() const = 0;
    };

    explicit media_packet(Impl* impl) : facade(impl) {}

    dt_ts_t pts() const { return impl()->pts(); }
    dt_ts_t dts() const { return impl()->dts(); }
    uint8_t* data() const { return impl()->data(); }
    int size() const { return impl()->size(); }
    int stream_index() const { return impl()->stream_index(); }
    int flags() const { return impl()->flags(); }
    int duration() const { return impl()->duration(); }
    dt_ts_t pos() const { return impl()->pos(); }
    int media_type() const { return impl()->media_type(); }
    bool ffmpeg_packet() const { return impl()->ffmpeg_packet(); }
    media_packet_ptr copy() const { return impl()->copy(); }
    media_packet_ptr clone() const { return impl()->copy(); }
    dt_rational_t time_base() const { return impl()->time_base(); }
    dt_rational_t frame_rate() const { return impl()->frame_rate(); }

    using facade::impl;
};

enum { dt_packet_flag_key = 1 };

// size + padding bytes into *buffer from the library's allocator, the
// padding zeroed. errors::invalid_pointer for a null address,
// errors::bad_alloc when the memory cannot be had (a sum that does not fit
// in size_t included).
void dt_alloc(uint8_t** buffer, std::size_t size, std::size_t padding);
// Null for no source or no bytes, else a dt_alloc copy with 8 zero bytes behind.
void copy_packet_bytes(uint8_t** buffer, std::size_t size, const uint8_t* source);
void free_packet_bytes(uint8_t** buffer);

// The setter interface of a packet filled field by field.
class media_packet_properties : private interface_base {
public:
    virtual void set_data(const boost::shared_ptr<uint8_t>& buffer, size_t size) = 0;
    virtual void set_data(uint8_t* data, size_t size, dt_own_buffer_t own) = 0;
    virtual void set_pts(dt_ts_t pts) = 0;
    virtual void set_dts(dt_ts_t dts) = 0;
    virtual void set_stream_index(int index) = 0;
    virtual void set_flags(int flags) = 0;
    virtual void set_duration(int duration) = 0;
    virtual void set_pos(dt_ts_t pos) = 0;
    virtual void set_media_type(int type) = 0;
    virtual void set_time_base(dt_rational_t time_base) = 0;
    virtual void set_frame_rate(dt_rational_t frame_rate) = 0;

protected:
    ~media_packet_properties() = default;
};
typedef boost::shared_ptr<media_packet_properties> media_packet_properties_ptr;

typedef uint8_t* (*dt_alloc_function)(size_t);
typedef void (*dt_free_function)(uint8_t**);

// A shared buffer over bytes by ownership mode: borrowed bytes are never
// freed, adopted and copied ones through the free function. Copy mode needs
// the allocation function (errors::invalid_operation otherwise) and bytes
// to copy from (errors::invalid_pointer for null with a size); 0 bytes copy
// to a null buffer. Returns false for an unknown mode.
bool make_owned_buffer(uint8_t* data, size_t size, dt_own_buffer_t own, dt_alloc_function alloc,
                       dt_free_function free, boost::shared_ptr<uint8_t>& buffer);

// The library's one packet that owns its bytes: filled field by field
// through its setter (the PPM writer, the LAME encoder), or made as a copy
// of another packet (media_packet::copy).
class common_media_packet2_impl : public media_packet::Impl {
public:
    class setter;

    common_media_packet2_impl() = default;
    // Every property of the source and a copy of its bytes, with 8 zero
    // bytes behind them (a null buffer for no bytes). Source is media_packet
    // or media_packet::Impl.
    template <class Source>
    explicit common_media_packet2_impl(const Source& source);

    dt_ts_t pts() const override { return pts_; }
    dt_ts_t dts() const override { return dts_; }
    uint8_t* data() const override { return data_.get(); }
    int size() const override { return static_cast<int>(size_); }
    int stream_index() const override { return stream_index_; }
    int flags() const override { return flags_; }
    int duration() const override { return duration_; }
    dt_ts_t pos() const override { return pos_; }
    int media_type() const override { return media_type_; }
    bool ffmpeg_packet() const override { return ffmpeg_packet_; }
    dt_rational_t time_base() const override { return time_base_; }
    dt_rational_t frame_rate() const override { return frame_rate_; }

    void set_allocator(dt_alloc_function alloc, dt_free_function free) {
        alloc_ = alloc;
        free_ = free;
    }

private:
    dt_ts_t pts_ = 0;
    dt_ts_t dts_ = 0;
    boost::shared_ptr<uint8_t> data_;
    size_t size_ = 0;
    int stream_index_ = 0;
    int flags_ = 0;
    int duration_ = 0;
    dt_ts_t pos_ = 0;
    int media_type_ = dt_media_type_unknown;
    bool ffmpeg_packet_ = false;
    dt_rational_t time_base_;
    dt_rational_t frame_rate_;
    dt_alloc_function alloc_ = nullptr;
    dt_free_function free_ = nullptr;
};

class common_media_packet2_impl::setter final : public media_packet_properties {
public:
    explicit setter(common_media_packet2_impl* packet) : packet_(packet) {}
    void set_data(const boost::shared_ptr<uint8_t>& buffer, size_t size) override;
    void set_data(uint8_t* data, size_t size, dt_own_buffer_t own) override;
    void set_pts(dt_ts_t pts) override { packet_->pts_ = pts; }
    void set_dts(dt_ts_t dts) override { packet_->dts_ = dts; }
    void set_stream_index(int index) override { packet_->stream_index_ = index; }
    void set_flags(int flags) override { packet_->flags_ = flags; }
    void set_duration(int duration) override { packet_->duration_ = duration; }
    void set_pos(dt_ts_t pos) override { packet_->pos_ = pos; }
    void set_media_type(int type) override { packet_->media_type_ = type; }
    void set_time_base(dt_rational_t time_base) override { packet_->time_base_ = time_base; }
    void set_frame_rate(dt_rational_t frame_rate) override { packet_->frame_rate_ = frame_rate; }

private:
    common_media_packet2_impl* packet_;
};

// A packet filled through its setter (properties()); the PPM writer and the
// LAME encoder make theirs this way.
template <class BufferAllocator>
class common_media_packet2_t : public media_packet, public BufferAllocator {
public:
    common_media_packet2_t() : media_packet(new common_media_packet2_impl()) {
        auto* impl = static_cast<common_media_packet2_impl*>(this->impl());
        impl->set_allocator(BufferAllocator::alloc_buffer(), BufferAllocator::free_buffer());
        setter_.reset(new common_media_packet2_impl::setter(impl));
    }
    ~common_media_packet2_t() override { setter_.reset(); }

    media_packet_properties* properties() const { return setter_.get(); }

private:
    boost::shared_ptr<common_media_packet2_impl::setter> setter_;
};

typedef common_media_packet2_t<Allocator::default_byte_allocator> common_media_packet2;

// A packet that owns a copy of another packet's properties and bytes; a
// null source throws errors::invalid_pointer.
class common_media_packet : public media_packet {
public:
    explicit common_media_packet(const media_packet* source);
    explicit common_media_packet(const media_packet::Impl* source);
};

} // namespace kestrel
