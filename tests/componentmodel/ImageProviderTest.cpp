#include "componentmodel/ImageProvider.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QQmlEngine>
#include <QUrl>

using namespace ComponentModel;

namespace {

QPixmap filled(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return QPixmap::fromImage(image);
}

QRgb centre(const QPixmap& pixmap)
{
    return pixmap.toImage().pixel(pixmap.width() / 2, pixmap.height() / 2);
}

} // namespace

TEST(ImageProvider, UnknownIdGivesNullPixmapOfSizeZero)
{
    ImageProvider store;
    QSize size(9, 9);
    EXPECT_TRUE(store.requestPixmap(QStringLiteral("none"), &size, QSize(10, 10)).isNull());
    EXPECT_EQ(size, QSize(0, 0));
    EXPECT_EQ(store.imageType(), QQmlImageProviderBase::Pixmap);
}

TEST(ImageProvider, ScalesToExactlyTheRequestedSizeAndReportsTheStoredSize)
{
    ImageProvider store;
    store.setPixmap(QStringLiteral("p"), filled(400, 300, Qt::red));
    QSize size;
    const QPixmap scaled = store.requestPixmap(QStringLiteral("p"), &size, QSize(100, 100));
    EXPECT_EQ(scaled.size(), QSize(100, 100));
    EXPECT_EQ(size, QSize(400, 300));
    for (const QSize requested : {QSize(0, 100), QSize(100, -1), QSize()})
        EXPECT_EQ(store.requestPixmap(QStringLiteral("p"), nullptr, requested).size(), QSize(400, 300));
    // The stored picture is not changed by a scaled request.
    EXPECT_EQ(store.requestPixmap(QStringLiteral("p"), nullptr, QSize()).size(), QSize(400, 300));
}

TEST(ImageProvider, SecondPixmapUnderAnIdReplacesTheFirst)
{
    ImageProvider store;
    store.setPixmap(QStringLiteral("p"), filled(4, 4, Qt::red));
    store.setPixmap(QStringLiteral("p"), filled(4, 4, Qt::blue));
    EXPECT_EQ(centre(store.requestPixmap(QStringLiteral("p"), nullptr, QSize())), QColor(Qt::blue).rgb());
}

TEST(ProxyImageProvider, EngineOwnsProxiesWhileTheStoreOutlivesEveryView)
{
    ImageProvider store;
    store.setPixmap(QStringLiteral("banner"), filled(8, 6, Qt::green));
    for (int view = 0; view < 2; ++view) {
        QQmlEngine engine;
        auto* proxy = new ProxyImageProvider(&store);
        EXPECT_EQ(proxy->imageType(), QQmlImageProviderBase::Pixmap);
        engine.addImageProvider(QStringLiteral("banners"), proxy);
        QSize size;
        EXPECT_EQ(centre(proxy->requestPixmap(QStringLiteral("banner"), &size, QSize())),
                  QColor(Qt::green).rgb());
        EXPECT_EQ(size, QSize(8, 6));
    }
    EXPECT_EQ(store.requestPixmap(QStringLiteral("banner"), nullptr, QSize()).size(), QSize(8, 6));
}

TEST(ProxyImageProvider, ServesNothingOnceTheStoreIsGone)
{
    auto* store = new ImageProvider;
    store->setPixmap(QStringLiteral("p"), filled(2, 2, Qt::red));
    ProxyImageProvider proxy(store);
    delete store;
    QSize size;
    EXPECT_TRUE(proxy.requestPixmap(QStringLiteral("p"), &size, QSize()).isNull());
    EXPECT_TRUE(proxy.requestImage(QStringLiteral("p"), &size, QSize()).isNull());
}

TEST(ProxyImageProvider, FindsIdsThatTheUrlPercentEncoded)
{
    ImageProvider store;
    const QString id = QStringLiteral("{0b5e6f3c-2a4d-4c1e-9f7a-1d2e3f4a5b6c}");
    store.setPixmap(id, filled(3, 2, Qt::red));
    ProxyImageProvider proxy(&store);
    // What QML passes for "image://photos/" + id.
    const QString asInUrl = QUrl(QStringLiteral("image://photos/") + id)
                                .toString(QUrl::RemoveScheme | QUrl::RemoveAuthority)
                                .mid(1);
    EXPECT_EQ(proxy.requestPixmap(asInUrl, nullptr, QSize()).size(), QSize(3, 2));
    EXPECT_EQ(proxy.requestPixmap(id, nullptr, QSize()).size(), QSize(3, 2));
}
