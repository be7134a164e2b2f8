#include "DTStreamInfo.h"

namespace kestrel {

stream_info::Impl::~Impl() = default;

stream_info::~stream_info() { delete impl_; }

} // namespace kestrel
