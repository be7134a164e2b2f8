#pragma once
// The slide the slideshow's list makes: a slide over a new
// common_slide_impl (DTCommonSlideImpl.h holds its contract).

#include "slideshow2/DTSlide.h"

namespace kestrel {
namespace slideshow2 {

class common_slide : public slide {
public:
    common_slide();
};

// The slide factory of the renderer-backed slideshow: a new, empty slide.
slide_ptr create_common_slide();

} // namespace slideshow2
} // namespace kestrel
