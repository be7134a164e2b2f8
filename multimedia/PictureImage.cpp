#include "multimedia/PictureImage.h"

#include <memory>

namespace Multimedia {

namespace {

const qint64 bytesPerPixel = 3;

bool canWrap(const kestrel::video_data& picture)
{
    if (picture.pixel_format() != kestrel::dt_pixel_format_rgb24 || picture.width() <= 0 ||
        picture.height() <= 0 || !picture.data() || picture.size() <= 0)
        return false;
    // In 64 bits: the engine's sizes are ints, their products need not fit.
    const qint64 rowPixels = picture.width() * bytesPerPixel;
    return picture.line_size(0) >= rowPixels && picture.size() >= rowPixels * picture.height();
}

// Qt calls this when the last image sharing the picture's memory goes.
void releasePicture(void* heldPicture)
{
    delete static_cast<kestrel::video_data_ptr*>(heldPicture);
}

} // namespace

QImage imageOfPicture(const kestrel::video_data_ptr& picture)
{
    if (!picture || !canWrap(*picture))
        return QImage();
    auto held = std::make_unique<kestrel::video_data_ptr>(picture);
    QImage image(static_cast<const uchar*>(picture->data()), picture->width(), picture->height(),
                 picture->line_size(0), QImage::Format_RGB888, &releasePicture, held.get());
    // Qt calls the release only for an image it made.
    if (!image.isNull())
        held.release();
    return image;
}

} // namespace Multimedia
