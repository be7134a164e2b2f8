#pragma once
// The library's one picture type: width, height, pixel format and up to
// eight planes in FFmpeg's layout, so a picture goes to FFmpeg's converter
// and encoders without translation. Pictures are immutable once made.

#include "base/DTBase.h"
#include "base/DTTypes.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>

namespace kestrel {

class video_data;
typedef boost::shared_ptr<video_data> video_data_ptr;

class video_data : public facade<video_data> {
public:
    class Impl : public impl_base {
    public:
        ~Impl() override;
        virtual int width() const = 0;
        virtual int height() const = 0;
        virtual dt_pixel_format_t pixel_format() const = 0;
        virtual uint8_t* data() const = 0;
        virtual int size() const = 0;
        virtual int planes_count() const = 0;
        virtual uint8_t* plane_data(int plane) const = 0;
        virtual int line_size(int plane) const = 0;
        // A deep copy into a new FFmpeg-backed picture, for every kind.
        virtual video_data_ptr copy() const;
    };

    virtual ~video_data() = 0;

    int width() const { return impl()->width(); }
    int height() const { return impl()->height(); }
    dt_pixel_format_t pixel_format() const { return impl()->pixel_format(); }
    uint8_t* data() const { return impl()->data(); }
    int size() const { return impl()->size(); }
    int planes_count() const { return impl()->planes_count(); }
    uint8_t* plane_data(int plane) const { return impl()->plane_data(plane); }
    int line_size(int plane) const { return impl()->line_size(plane); }
    video_data_ptr copy() const { return impl()->copy(); }
    video_data_ptr clone() const { return impl()->copy(); }

    using facade::impl;

protected:
    explicit video_data(Impl* impl) : facade(impl) {}
};

} // namespace kestrel
