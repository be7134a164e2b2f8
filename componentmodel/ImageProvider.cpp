#include "componentmodel/ImageProvider.h"

#include <QMutexLocker>

namespace ComponentModel {

ImageProvider::ImageProvider() : QQuickImageProvider(QQuickImageProvider::Pixmap) {}

void ImageProvider::setPixmap(const QString& id, const QPixmap& pixmap)
{
    QMutexLocker lock(&mutex_);
    pixmaps_.insert(id, pixmap);
}

QPixmap ImageProvider::requestPixmap(const QString& id, QSize* size, const QSize& requestedSize)
{
    QPixmap pixmap;
    {
        QMutexLocker lock(&mutex_);
        pixmap = pixmaps_.value(id);
    }
    if (size)
        *size = pixmap.isNull() ? QSize(0, 0) : pixmap.size();
    if (pixmap.width() > 0 && pixmap.height() > 0 && requestedSize.width() > 0 && requestedSize.height() > 0)
        return pixmap.scaled(requestedSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return pixmap;
}

ProxyImageProvider::ProxyImageProvider(QQuickImageProvider* provider)
    : QQuickImageProvider(provider ? provider->imageType() : QQuickImageProvider::Pixmap), provider_(provider)
{
}

QImage ProxyImageProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize)
{
    return provider_ ? provider_->requestImage(id, size, requestedSize) : QImage();
}

QPixmap ProxyImageProvider::requestPixmap(const QString& id, QSize* size, const QSize& requestedSize)
{
    return provider_ ? provider_->requestPixmap(id, size, requestedSize) : QPixmap();
}

} // namespace ComponentModel
