#include "media/DTFileInfo.h"

#include "base/DTUtils.h"

namespace kestrel {

file_info_general::Impl::~Impl() = default;

file_info_general::~file_info_general() = default;

std::wstring file_info_general::filename() const { return utf8_to_wide(impl()->filename()); }

} // namespace kestrel
