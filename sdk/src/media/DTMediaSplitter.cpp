#include "media/DTMediaSplitter.h"

namespace kestrel {

media_splitter::Impl::~Impl() = default;

media_splitter::~media_splitter() = default;

} // namespace kestrel
