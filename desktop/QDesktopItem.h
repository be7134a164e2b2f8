#pragma once
// The attached object "Desktop": the primary screen's full and available
// (work area) geometry and the number of screens, with change signals.
// Screen index -1 means the primary screen. GUI thread only.

#include <QObject>
#include <QRect>
#include <QtQml/qqml.h>

namespace Desktop {

class QDesktopItem : public QObject {
    Q_OBJECT
    Q_PROPERTY(int screenWidth READ screenWidth NOTIFY screenGeometryChanged)
    Q_PROPERTY(int screenHeight READ screenHeight NOTIFY screenGeometryChanged)
    Q_PROPERTY(int availableWidth READ availableWidth NOTIFY availableGeometryChanged)
    Q_PROPERTY(int availableHeight READ availableHeight NOTIFY availableGeometryChanged)
    Q_PROPERTY(int screenCount READ screenCount NOTIFY screenCountChanged)
    QML_ATTACHED(QDesktopItem)

public:
    explicit QDesktopItem(QObject* parent = nullptr);

    int screenWidth() const;
    int screenHeight() const;
    int availableWidth() const;
    int availableHeight() const;
    int screenCount() const;

    Q_INVOKABLE QRect screenGeometry(int screen) const;
    Q_INVOKABLE QRect availableGeometry(int screen) const;

    static QDesktopItem* qmlAttachedProperties(QObject* object);

signals:
    void screenGeometryChanged();
    void availableGeometryChanged();
    void screenCountChanged();

private:
    void watchPrimaryScreen();
};

} // namespace Desktop
