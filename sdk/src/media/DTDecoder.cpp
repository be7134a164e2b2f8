#include "media/DTDecoder.h"

namespace kestrel {

decoder::Impl::~Impl() = default;

decoder::~decoder() = default;

} // namespace kestrel
