#include "DTCancelOpen.h"

namespace kestrel {
namespace slideshow2 {

void cancel_open(const ControllerPtr& handle) {
    if (handle)
        handle->cancel();
}

} // namespace slideshow2
} // namespace kestrel
