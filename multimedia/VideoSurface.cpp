#include "multimedia/VideoSurface.h"

#include <QPainter>

namespace Multimedia {

namespace {
const kestrel::dt_pixel_format_t packedRgb = 2; // FFmpeg's RGB24
const int bytesPerPixel = 3;
} // namespace

VideoSurface::VideoSurface(QQuickItem* parent) : QQuickPaintedItem(parent)
{
    setFlag(ItemHasContents, true);
}

VideoSurface::~VideoSurface()
{
    image_.reset();
    frame_.reset();
}

void VideoSurface::setFrame(kestrel::video_data_ptr frame)
{
    if (frame == frame_)
        return;
    image_.reset();
    frame_ = std::move(frame);
    update();
}

bool VideoSurface::canShow(const kestrel::video_data& picture) const
{
    return picture.width() > 0 && picture.height() > 0 && picture.data() &&
           picture.pixel_format() == packedRgb &&
           picture.line_size(0) >= picture.width() * bytesPerPixel;
}

void VideoSurface::paint(QPainter* painter)
{
    const qreal itemWidth = width();
    const qreal itemHeight = height();
    painter->fillRect(QRect(0, 0, static_cast<int>(itemWidth), static_cast<int>(itemHeight)),
                      Qt::black);
    if (!frame_ || !canShow(*frame_) || itemWidth < 1.0 || itemHeight < 1.0)
        return;
    if (!image_)
        image_ = std::make_unique<QImage>(static_cast<const uchar*>(frame_->data()), frame_->width(), frame_->height(),
                                          frame_->line_size(0), QImage::Format_RGB888);

    const qint64 imageWidth = image_->width();
    const qint64 imageHeight = image_->height();
    qint64 targetWidth = 0;
    qint64 targetHeight = 0;
    int x = 0;
    int y = 0;
    if (itemWidth / itemHeight > static_cast<qreal>(imageWidth) / imageHeight) {
        // Wider than the picture: bars left and right.
        targetHeight = static_cast<int>(itemHeight);
        targetWidth = imageWidth * targetHeight / imageHeight;
        x = static_cast<int>((itemWidth - targetWidth) * 0.5);
    } else {
        // Narrower or the same shape: bars above and below.
        targetWidth = static_cast<int>(itemWidth);
        targetHeight = imageHeight * targetWidth / imageWidth;
        y = static_cast<int>((itemHeight - targetHeight) * 0.5);
    }
    painter->drawImage(QRect(x, y, static_cast<int>(targetWidth), static_cast<int>(targetHeight)),
                       *image_, QRect(0, 0, image_->width(), image_->height()));
}

} // namespace Multimedia
