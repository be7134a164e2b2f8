#include "media/DTCodecExtraData.h"

namespace kestrel {

codec_extra_data::Impl::~Impl() = default;

bool codec_extra_data_common_impl::find(const std::string& name, size_t& index) const {
    for (size_t i = 0; i < records_.size(); ++i) {
        if (records_[i].name == name) {
            index = i;
            return true;
        }
    }
    return false;
}

void codec_extra_data_common_impl::setter::add_data(const std::string& name, uint8_t* data,
                                                    size_t size, dt_own_buffer_t own) {
    boost::shared_ptr<uint8_t> buffer;
    if (make_owned_buffer(data, size, own, owner_->alloc_, owner_->free_, buffer))
        add_data(name, buffer, size);
}

void codec_extra_data_common_impl::setter::add_data(const std::string& name,
                                                    const boost::shared_ptr<uint8_t>& data,
                                                    size_t size) {
    owner_->records_.push_back(record{name, data, size});
}

} // namespace kestrel
