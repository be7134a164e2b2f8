#include "DTCommonSlide.h"

#include "slideshow2/DTCommonSlideImpl.h"

#include <boost/make_shared.hpp>

namespace kestrel {
namespace slideshow2 {

common_slide::common_slide() : slide(new common_slide_impl) {}

slide_ptr create_common_slide() { return boost::make_shared<common_slide>(); }

} // namespace slideshow2
} // namespace kestrel
