#include "media/DTVideoFormat.h"

#include <boost/make_shared.hpp>

namespace kestrel {

video_format_ptr video_format::create(int width, int height, dt_pixel_format_t format) {
    return create(width, height, format, dt_rational_t(1, 1));
}

video_format_ptr video_format::create(int width, int height, dt_pixel_format_t format,
                                      dt_rational_t ratio) {
    return boost::make_shared<video_format>(record{width, height, format, ratio});
}

video_format_ptr video_format::clone(const video_format& other) {
    return boost::make_shared<video_format>(other.record_);
}

} // namespace kestrel
