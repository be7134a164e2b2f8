#pragma once
// The engine's pictures seen as Qt images, for the preview surface, the
// conversion preview and the slide thumbnails alike. The image wraps the
// picture's own memory (no copy) and holds a reference to the picture, so
// the picture lives as long as the image or any copy of it does (a picture
// that only views an image of the engine's is valid no longer than the
// engine keeps that image, image or not). The image is read-only: a write
// detaches into a copy of its own. Any thread.

#include "media/DTVideoData.h"

#include <QImage>

namespace Multimedia {

// A RGB888 image over the picture, or a null image unless the picture is
// one Qt can read whole: not null, packed RGB (kestrel::dt_pixel_format_rgb24),
// width and height above 0, pixels present (data() not null, size() not 0),
// rows of at least width × 3 bytes (line_size(0)), and size() covering the
// rows' pixels, width × 3 × height bytes.
QImage imageOfPicture(const kestrel::video_data_ptr& picture);

} // namespace Multimedia
