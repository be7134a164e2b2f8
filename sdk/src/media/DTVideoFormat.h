#pragma once
// Width, height and pixel format of a stream of pictures: what the producer
// sets the picture converter and the video encoder up with.

#include "base/DTBase.h"
#include "base/DTTypes.h"

#include <boost/shared_ptr.hpp>

namespace kestrel {

class video_format;
typedef boost::shared_ptr<video_format> video_format_ptr;

class video_format : private interface_base {
public:
    struct record {
        int width;
        int height;
        dt_pixel_format_t pixel_format;
        dt_rational_t ratio;
    };

    static video_format_ptr create(int width, int height, dt_pixel_format_t format);
    static video_format_ptr create(int width, int height, dt_pixel_format_t format,
                                   dt_rational_t ratio);
    static video_format_ptr clone(const video_format& other);

    explicit video_format(const record& fields) : record_(fields) {}

    int width() const { return record_.width; }
    int height() const { return record_.height; }
    dt_pixel_format_t pixel_format() const { return record_.pixel_format; }
    dt_rational_t ratio() const { return record_.ratio; }

private:
    const record record_;
};

} // namespace kestrel
