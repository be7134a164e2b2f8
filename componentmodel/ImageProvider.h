#pragma once
// Pictures held only in memory (slide thumbnails, the frame being encoded,
// the advertisement banner), served to QML by id through
// "image://<provider name>/<id>". The view models fill the store on the GUI
// thread; Qt Quick may ask for pictures from its loader thread, so the map is
// locked. Entries are added or replaced, never removed.
// The engine owns every provider added to it; a view is therefore given a
// ProxyImageProvider over the store, and the store outlives each view. The
// proxy watches the provider it wraps and serves nothing once it is gone;
// it takes ids as QML gives them, percent-encoded as in the URL
// ("%7B...%7D" for a UUID's braces), and asks the store for the decoded id.

#include <QMap>
#include <QMutex>
#include <QPixmap>
#include <QPointer>
#include <QQuickImageProvider>
#include <QString>

namespace ComponentModel {

class ImageProvider : public QQuickImageProvider {
    Q_OBJECT
public:
    ImageProvider();

    void setPixmap(const QString& id, const QPixmap& pixmap);

    // The stored pixmap (null for an unknown id), scaled to exactly
    // requestedSize when both it and the pixmap have positive sides; *size
    // gets the stored size.
    QPixmap requestPixmap(const QString& id, QSize* size, const QSize& requestedSize) override;

private:
    QMutex mutex_;
    QMap<QString, QPixmap> pixmaps_;
};

class ProxyImageProvider : public QQuickImageProvider {
    Q_OBJECT
public:
    // Does not own `provider`; takes its image type now.
    explicit ProxyImageProvider(QQuickImageProvider* provider);

    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;
    QPixmap requestPixmap(const QString& id, QSize* size, const QSize& requestedSize) override;

private:
    QPointer<QQuickImageProvider> provider_;
};

} // namespace ComponentModel
