#include "DTAVSource.h"

namespace kestrel {

av_source::Impl::~Impl() = default;

av_source::~av_source() { delete impl_; }

} // namespace kestrel
