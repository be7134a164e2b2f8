#pragma once
// Cancels one queued photo open through the handle the photo manager gave
// for it: a load that has not started is skipped and reported as
// cancelled. Any thread; an empty handle does nothing.

#include "base/DTController.h"

namespace kestrel {
namespace slideshow2 {

void cancel_open(const ControllerPtr& handle);

} // namespace slideshow2
} // namespace kestrel
