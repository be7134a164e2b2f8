#pragma once
// "RowLayout" and "ColumnLayout": place their child items side by side or
// one above the other and share the layout's width (row) or height
// (column) among them by their implicit sizes, their attached minimum and
// maximum sizes and size policies, `spacing` apart. The other coordinate
// and extent of a child are left alone; hidden children keep their share.
// The layout publishes its own needs: the sum of the children's implicit
// sizes as its implicit size, and the sums of their limits (plus the
// spacing) as its own attached limits. GUI thread only.

#include "QDeclarativeLayout.h"

#include <QList>

namespace Desktop {

class QDeclarativeLinearLayout : public QDeclarativeLayout {
    Q_OBJECT
    Q_PROPERTY(qreal spacing READ spacing WRITE setSpacing NOTIFY spacingChanged)

public:
    enum Orientation { Vertical = 0, Horizontal = 1 };

    explicit QDeclarativeLinearLayout(Orientation orientation, QQuickItem* parent = nullptr);

    qreal spacing() const { return m_spacing; }
    void setSpacing(qreal spacing);
    QList<QQuickItem*> trackedItems() const { return m_items; }

    void updateLayout() override;
    void componentComplete() override;

signals:
    void spacingChanged();

protected:
    void geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData& value) override;

private slots:
    void onItemDestroyed();

private:
    void track(QQuickItem* item);
    void untrack(QQuickItem* item);

    const Orientation m_orientation;
    qreal m_spacing = 0;
    QList<QQuickItem*> m_items;
};

class QDeclarativeRowLayout : public QDeclarativeLinearLayout {
    Q_OBJECT

public:
    explicit QDeclarativeRowLayout(QQuickItem* parent = nullptr)
        : QDeclarativeLinearLayout(Horizontal, parent)
    {
    }
};

class QDeclarativeColumnLayout : public QDeclarativeLinearLayout {
    Q_OBJECT

public:
    explicit QDeclarativeColumnLayout(QQuickItem* parent = nullptr)
        : QDeclarativeLinearLayout(Vertical, parent)
    {
    }
};

} // namespace Desktop
