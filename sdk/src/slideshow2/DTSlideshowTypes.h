#pragma once
// Handles of the slideshow engine's objects. Every object is shared: the
// slide list holds one reference to each slide, and a slide outlives its
// removal while anyone (a view model, a render in progress) still holds it.

#include <boost/shared_ptr.hpp>

namespace kestrel {
namespace slideshow2 {

class slideshow;
class slide;
class photo;
class photo_manager;

typedef boost::shared_ptr<slideshow> slideshow_ptr;
typedef boost::shared_ptr<slide> slide_ptr;
typedef boost::shared_ptr<photo> photo_ptr;
typedef boost::shared_ptr<photo_manager> photo_manager_ptr;

} // namespace slideshow2
} // namespace kestrel
