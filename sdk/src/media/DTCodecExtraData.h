#pragma once
// Named byte blocks that an encoder can hand out beside its packets.

#include "base/DTAllocator.h"
#include "base/DTBase.h"
#include "media/DTMediaPacket.h"

#include <boost/shared_ptr.hpp>

#include <string>
#include <vector>

namespace kestrel {

class codec_extra_data : public facade<codec_extra_data> {
public:
    class Impl : public impl_base {
    public:
        ~Impl() override;
        virtual size_t count() const = 0;
        virtual const uint8_t* data(size_t index) const = 0;
        virtual size_t size(size_t index) const = 0;
        virtual std::string name(size_t index) const = 0;
        // The first record of that name.
        virtual bool find(const std::string& name, size_t& index) const = 0;
    };

    explicit codec_extra_data(Impl* impl) : facade(impl) {}

    size_t count() const { return impl()->count(); }
    const uint8_t* data(size_t index) const { return impl()->data(index); }
    size_t size(size_t index) const { return impl()->size(index); }
    std::string name(size_t index) const { return impl()->name(index); }
    bool find(const std::string& name, size_t& index) const { return impl()->find(name, index); }
};
typedef boost::shared_ptr<codec_extra_data> codec_extra_data_ptr;

class codec_extra_data_setter : private interface_base {
public:
    virtual void add_data(const std::string& name, uint8_t* data, size_t size,
                          dt_own_buffer_t own) = 0;
    virtual void add_data(const std::string& name, const boost::shared_ptr<uint8_t>& data,
                          size_t size) = 0;

protected:
    ~codec_extra_data_setter() = default;
};

class codec_extra_data_common_impl : public codec_extra_data::Impl {
public:
    class setter;

    size_t count() const override { return records_.size(); }
    const uint8_t* data(size_t index) const override { return records_.at(index).data.get(); }
    size_t size(size_t index) const override { return records_.at(index).size; }
    std::string name(size_t index) const override { return records_.at(index).name; }
    bool find(const std::string& name, size_t& index) const override;

    void set_allocator(dt_alloc_function alloc, dt_free_function free) {
        alloc_ = alloc;
        free_ = free;
    }

private:
    struct record {
        std::string name;
        boost::shared_ptr<uint8_t> data;
        size_t size;
    };
    std::vector<record> records_;
    dt_alloc_function alloc_ = nullptr;
    dt_free_function free_ = nullptr;
};

class codec_extra_data_common_impl::setter final : public codec_extra_data_setter {
public:
    explicit setter(codec_extra_data_common_impl* owner) : owner_(owner) {}
    void add_data(const std::string& name, uint8_t* data, size_t size,
                  dt_own_buffer_t own) override;
    void add_data(const std::string& name, const boost::shared_ptr<uint8_t>& data,
                  size_t size) override;

private:
    codec_extra_data_common_impl* owner_;
};

template <class BufferAllocator>
class codec_extra_data_common_t : public codec_extra_data, public BufferAllocator {
public:
    codec_extra_data_common_t() : codec_extra_data(new codec_extra_data_common_impl()) {
        auto* common = static_cast<codec_extra_data_common_impl*>(impl());
        common->set_allocator(BufferAllocator::alloc_buffer(), BufferAllocator::free_buffer());
        setter_.reset(new codec_extra_data_common_impl::setter(common));
    }

    codec_extra_data_setter* setter() const { return setter_.get(); }

private:
    boost::shared_ptr<codec_extra_data_common_impl::setter> setter_;
};

typedef codec_extra_data_common_t<Allocator::default_byte_allocator> codec_extra_data_common;

} // namespace kestrel
