#include "media/DTPictureConvert.h"

#include "ffmpeg/DTFFBridge.h"

namespace kestrel {

picture_convert::Impl::~Impl() = default;

picture_convert_ptr picture_convert_creator::create(int src_width, int src_height,
                                                    dt_pixel_format_t src_format, int dst_width,
                                                    int dst_height, dt_pixel_format_t dst_format,
                                                    int flags) {
    return create_ff_picture_convert(src_width, src_height, src_format, dst_width, dst_height,
                                     dst_format, flags);
}

} // namespace kestrel
