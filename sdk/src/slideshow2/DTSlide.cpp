#include "DTSlide.h"

namespace kestrel {
namespace slideshow2 {

slide::slide(Impl* impl) : impl_(impl) {}

slide::~slide() = default;

} // namespace slideshow2
} // namespace kestrel
