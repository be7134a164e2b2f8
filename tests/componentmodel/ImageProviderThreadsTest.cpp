#include "componentmodel/ImageProvider.h"

#include <gtest/gtest.h>

#include <QImage>

#include <atomic>
#include <thread>
#include <vector>

using ComponentModel::ImageProvider;

// Qt Quick's loader threads ask for pictures while the GUI thread stores new
// ones under the same ids.
TEST(ImageProviderThreads, RequestsFromLoaderThreadsMeetStoresSafely)
{
    ImageProvider store;
    QImage picture(16, 16, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const QPixmap pixmap = QPixmap::fromImage(picture);
    store.setPixmap(QStringLiteral("0"), pixmap);

    std::atomic<bool> stop{false};
    std::atomic<int> served{0};
    std::vector<std::thread> loaders;
    for (int t = 0; t < 3; ++t) {
        loaders.emplace_back([&] {
            while (!stop.load()) {
                QSize size;
                const QPixmap got = store.requestPixmap(QStringLiteral("%1").arg(served.load() % 8), &size, QSize());
                if (!got.isNull() && size == QSize(16, 16))
                    served.fetch_add(1);
            }
        });
    }
    for (int round = 0; round < 2000 || (served.load() < 200 && round < 1000000); ++round)
        store.setPixmap(QStringLiteral("%1").arg(round % 8), pixmap);
    stop = true;
    for (auto& loader : loaders)
        loader.join();
    EXPECT_GE(served.load(), 200);
}
