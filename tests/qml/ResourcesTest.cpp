// The compiled-in views and images: every picture a view names exists and
// reads, the application icon is there for the window, and the "qrc:/qml"
// directory lists its three views.

#include "qml/ViewResources.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QString>

#include <gtest/gtest.h>

namespace {

QString textOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(ViewResources, EveryPictureAViewNamesReadsAndTheIconIsThere)
{
    Application::registerViewResources();
    Application::registerViewResources(); // a second time changes nothing
    QSet<QString> named{QStringLiteral(":/image/application-icon")};
    const QRegularExpression reference(QStringLiteral("qrc(:/image/[a-z-]+)"));
    for (const char* view : {":/qml/mainview.qml", ":/qml/settingsview.qml", ":/qml/playerview.qml"}) {
        const QString text = textOf(QString::fromLatin1(view));
        ASSERT_FALSE(text.isEmpty()) << view;
        for (const QRegularExpressionMatch& match : reference.globalMatch(text))
            named.insert(match.captured(1));
    }
    EXPECT_EQ(named.size(), 17);
    for (const QString& path : named) {
        const QImage picture(path);
        EXPECT_FALSE(picture.isNull()) << path.toStdString();
        EXPECT_TRUE(picture.hasAlphaChannel()) << path.toStdString();
    }
    EXPECT_GE(QImage(QStringLiteral(":/image/application-icon")).width(), 256);
}

TEST(ViewResources, TheViewsDirectoryListsItsThreeViews)
{
    Application::registerViewResources();
    const QStringList lines = textOf(QStringLiteral(":/qml/qmldir")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines, QStringList({"MainView 1.0 mainview.qml", "PlayerView 1.0 playerview.qml",
                                  "SettingsView 1.0 settingsview.qml"}));
}

} // namespace
