#include "media/DTStreamInfo.h"

namespace kestrel {

stream_info::Impl::~Impl() = default;

} // namespace kestrel
