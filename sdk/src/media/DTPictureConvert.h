#pragma once
// Changes a picture's size and pixel format, for example the renderer's
// RGB frames into the encoder's YUV 4:2:0.

#include "base/DTBase.h"
#include "base/DTErrors.h"
#include "base/DTTypes.h"
#include "media/DTVideoData.h"

#include <boost/shared_ptr.hpp>

namespace kestrel {

class picture_convert;
typedef boost::shared_ptr<picture_convert> picture_convert_ptr;

class picture_convert : public facade<picture_convert> {
public:
    class error : public virtual errors::dt_error {};

    class Impl : public impl_base {
    public:
        ~Impl() override;
        virtual video_data_ptr convert(video_data_ptr picture) = 0;
    };


    video_data_ptr convert(const video_data_ptr& picture) { return impl()->convert(picture); }

protected:
    explicit picture_convert(Impl* impl) : facade(impl) {}
};

class picture_convert_creator {
public:
    // A scaler from the source geometry and format to the destination's;
    // flags are FFmpeg's scaler flags (2: bilinear). Throws
    // picture_convert::error when FFmpeg refuses the combination.
    static picture_convert_ptr create(int src_width, int src_height, dt_pixel_format_t src_format,
                                      int dst_width, int dst_height, dt_pixel_format_t dst_format,
                                      int flags);
};

} // namespace kestrel
