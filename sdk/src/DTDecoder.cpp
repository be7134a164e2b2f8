#include "DTDecoder.h"

namespace kestrel {

decoder::Impl::~Impl() = default;

decoder::~decoder() { delete impl_; }

} // namespace kestrel
