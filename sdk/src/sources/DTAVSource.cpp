#include "sources/DTAVSource.h"

namespace kestrel {

av_source::Impl::~Impl() = default;

} // namespace kestrel
