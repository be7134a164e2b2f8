#include "DTFileInfo.h"

#include "DTUtils.h"

namespace kestrel {

file_info_general::Impl::~Impl() = default;

file_info_general::~file_info_general() { delete impl_; }

std::wstring file_info_general::filename() const { return utf8_to_wide(impl_->filename()); }

void file_info_general::set_impl(Impl* impl) {
    delete impl_;
    impl_ = impl;
}

} // namespace kestrel
