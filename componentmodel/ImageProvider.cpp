#include "componentmodel/ImageProvider.h"

#include <QMutexLocker>
#include <QUrl>

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

namespace {

// QML hands over the id as it stands in the URL, where characters such as
// the braces of a UUID are percent-encoded; the store keeps it as set.
QString storedId(const QString& urlId)
{
    return urlId.contains(QLatin1Char('%')) ? QUrl::fromPercentEncoding(urlId.toUtf8()) : urlId;
}

} // namespace

QImage ProxyImageProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize)
{
    return provider_ ? provider_->requestImage(storedId(id), size, requestedSize) : QImage();
}

QPixmap ProxyImageProvider::requestPixmap(const QString& id, QSize* size, const QSize& requestedSize)
{
    return provider_ ? provider_->requestPixmap(storedId(id), size, requestedSize) : QPixmap();
}

} // namespace ComponentModel
