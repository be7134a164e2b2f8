#include "DTSlideshow.h"

namespace kestrel {
namespace slideshow2 {

slideshow::slideshow(Impl* impl) : impl_(impl) {}

slideshow::~slideshow() = default;

} // namespace slideshow2
} // namespace kestrel
