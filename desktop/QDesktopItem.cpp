#include "QDesktopItem.h"

#include <QGuiApplication>
#include <QScreen>

namespace Desktop {

namespace {

QScreen* screenAt(int index)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (index == -1)
        return QGuiApplication::primaryScreen();
    return index >= 0 && index < screens.size() ? screens[index] : nullptr;
}

} // namespace

QDesktopItem::QDesktopItem(QObject* parent) : QObject(parent)
{
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    connect(application, &QGuiApplication::screenAdded, this, &QDesktopItem::screenCountChanged);
    connect(application, &QGuiApplication::screenRemoved, this, &QDesktopItem::screenCountChanged);
    connect(application, &QGuiApplication::primaryScreenChanged, this, [this] {
        watchPrimaryScreen();
        emit screenGeometryChanged();
        emit availableGeometryChanged();
    });
    watchPrimaryScreen();
}

void QDesktopItem::watchPrimaryScreen()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    connect(screen, &QScreen::geometryChanged, this, &QDesktopItem::screenGeometryChanged,
            Qt::UniqueConnection);
    connect(screen, &QScreen::geometryChanged, this, &QDesktopItem::availableGeometryChanged,
            Qt::UniqueConnection);
    connect(screen, &QScreen::availableGeometryChanged, this,
            &QDesktopItem::availableGeometryChanged, Qt::UniqueConnection);
}

int QDesktopItem::screenWidth() const { return screenGeometry(-1).width(); }
int QDesktopItem::screenHeight() const { return screenGeometry(-1).height(); }
int QDesktopItem::availableWidth() const { return availableGeometry(-1).width(); }
int QDesktopItem::availableHeight() const { return availableGeometry(-1).height(); }
int QDesktopItem::screenCount() const { return int(QGuiApplication::screens().size()); }

QRect QDesktopItem::screenGeometry(int screen) const
{
    QScreen* found = screenAt(screen);
    return found ? found->geometry() : QRect();
}

QRect QDesktopItem::availableGeometry(int screen) const
{
    QScreen* found = screenAt(screen);
    return found ? found->availableGeometry() : QRect();
}

QDesktopItem* QDesktopItem::qmlAttachedProperties(QObject* object)
{
    return new QDesktopItem(object);
}

} // namespace Desktop
