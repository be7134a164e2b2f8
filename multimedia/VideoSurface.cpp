#include "multimedia/VideoSurface.h"

#include "multimedia/PictureImage.h"

#include <QPainter>

namespace Multimedia {

VideoSurface::VideoSurface(QQuickItem* parent) : QQuickPaintedItem(parent)
{
    setFlag(ItemHasContents, true);
}

VideoSurface::~VideoSurface()
{
    image_ = QImage();
    frame_.reset();
}

void VideoSurface::setFrame(kestrel::video_data_ptr frame)
{
    if (frame == frame_)
        return;
    image_ = QImage();
    frame_ = std::move(frame);
    update();
}

void VideoSurface::paint(QPainter* painter)
{
    const qreal itemWidth = width();
    const qreal itemHeight = height();
    painter->fillRect(QRect(0, 0, static_cast<int>(itemWidth), static_cast<int>(itemHeight)),
                      Qt::black);
    if (!frame_ || itemWidth < 1.0 || itemHeight < 1.0)
        return;
    if (image_.isNull())
        image_ = imageOfPicture(frame_);
    if (image_.isNull())
        return;

    const qint64 imageWidth = image_.width();
    const qint64 imageHeight = image_.height();
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
                       image_, QRect(0, 0, image_.width(), image_.height()));
}

} // namespace Multimedia
