#pragma once
// The slideshow handle, for code that only keeps a slideshow alive or
// passes it on and needs none of its operations.

#include <boost/shared_ptr.hpp>

namespace kestrel {
namespace slideshow2 {

class slideshow;
typedef boost::shared_ptr<slideshow> slideshow_ptr;

} // namespace slideshow2
} // namespace kestrel
