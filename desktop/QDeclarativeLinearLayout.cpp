#include "QDeclarativeLinearLayout.h"

#include "LayoutDistribution.h"

#include <cmath>

namespace Desktop {

namespace {

// A size that is not a number or not finite counts as nothing, so that one
// odd child cannot upset the arithmetic of the whole row.
qreal finiteOr(qreal value, qreal fallback)
{
    return std::isfinite(value) ? value : fallback;
}

} // namespace

QDeclarativeLinearLayout::QDeclarativeLinearLayout(Orientation orientation, QQuickItem* parent)
    : QDeclarativeLayout(parent), m_orientation(orientation)
{
}

void QDeclarativeLinearLayout::setSpacing(qreal spacing)
{
    if (std::isnan(spacing) || spacing == m_spacing)
        return;
    m_spacing = spacing;
    invalidate();
    emit spacingChanged();
}

void QDeclarativeLinearLayout::track(QQuickItem* item)
{
    if (m_items.contains(item))
        return;
    m_items.append(item);
    attachedOf(item)->setLayout(this);
    invalidate();
    connect(item, &QObject::destroyed, this, &QDeclarativeLinearLayout::onItemDestroyed);
    // A child whose content asks for another size is placed anew.
    connect(item, &QQuickItem::implicitWidthChanged, this, &QDeclarativeLayout::invalidate);
    connect(item, &QQuickItem::implicitHeightChanged, this, &QDeclarativeLayout::invalidate);
}

void QDeclarativeLinearLayout::untrack(QQuickItem* item)
{
    if (!m_items.removeOne(item))
        return;
    invalidate();
    disconnect(item, nullptr, this, nullptr);
}

void QDeclarativeLinearLayout::onItemDestroyed()
{
    for (int i = 0; i < m_items.size(); ++i) {
        if (static_cast<QObject*>(m_items[i]) == sender()) {
            m_items.removeAt(i);
            invalidate();
            return;
        }
    }
}

void QDeclarativeLinearLayout::itemChange(ItemChange change, const ItemChangeData& value)
{
    if (change == ItemChildAddedChange)
        track(value.item);
    else if (change == ItemChildRemovedChange)
        untrack(value.item);
    QDeclarativeLayout::itemChange(change, value);
}

void QDeclarativeLinearLayout::geometryChange(const QRectF& newGeometry, const QRectF& oldGeometry)
{
    QDeclarativeLayout::geometryChange(newGeometry, oldGeometry);
    invalidate();
}

void QDeclarativeLinearLayout::componentComplete()
{
    QDeclarativeLayout::componentComplete();
    const QList<QQuickItem*> children = childItems();
    for (QQuickItem* child : children)
        track(child);
    invalidate();
}

void QDeclarativeLinearLayout::updateLayout()
{
    if (!isComponentComplete() || m_items.isEmpty())
        return;
    const bool horizontal = m_orientation == Horizontal;

    QVector<LayoutItemRecord> records;
    qreal preferredSum = 0;
    qreal minimumSum = 0;
    qreal maximumSum = 0;
    for (QQuickItem* item : std::as_const(m_items)) {
        const QDeclarativeLayoutAttached* limits = attachedOf(item);
        LayoutItemRecord record;
        record.expanding = (horizontal ? limits->horizontalSizePolicy()
                                       : limits->verticalSizePolicy()) == Expanding;
        record.stretch = record.expanding ? 1.0 : 0.0;
        record.preferredSize = finiteOr(horizontal ? item->implicitWidth() : item->implicitHeight(), 0);
        record.minimumSize = finiteOr(horizontal ? limits->minimumWidth() : limits->minimumHeight(), 0);
        record.maximumSize = finiteOr(horizontal ? limits->maximumWidth() : limits->maximumHeight(),
                                      QDeclarativeLayoutAttached::unlimited);
        preferredSum += record.preferredSize;
        minimumSum += record.minimumSize;
        maximumSum += record.maximumSize;
        records.append(record);
    }
    const qreal totalSpacing = m_spacing * (records.size() - 1);

    distributeLayoutItems(records, horizontal ? width() : height(), 0, m_spacing);
    for (int i = 0; i < m_items.size(); ++i) {
        QQuickItem* item = m_items[i];
        if (horizontal) {
            item->setX(records[i].position);
            item->setWidth(records[i].size);
        } else {
            item->setY(records[i].position);
            item->setHeight(records[i].size);
        }
    }

    QDeclarativeLayoutAttached* own = attachedOf(this);
    if (horizontal) {
        setImplicitWidth(preferredSum);
        own->setMinimumWidth(minimumSum + totalSpacing);
        own->setMaximumWidth(maximumSum + totalSpacing);
    } else {
        setImplicitHeight(preferredSum);
        own->setMinimumHeight(minimumSum + totalSpacing);
        own->setMaximumHeight(maximumSum + totalSpacing);
    }
}

} // namespace Desktop
