#include "sources/DTAVSource.h"

namespace kestrel {

av_source::Impl::~Impl() = default;

bool av_source::Impl::move_pictures(double) { return false; }

} // namespace kestrel
