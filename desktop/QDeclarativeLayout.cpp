#include "QDeclarativeLayout.h"

#include <QCoreApplication>
#include <QEvent>

#include <cmath>

namespace Desktop {

QDeclarativeLayout::QDeclarativeLayout(QQuickItem* parent) : QQuickItem(parent) {}

void QDeclarativeLayout::updateLayout() {}

void QDeclarativeLayout::invalidate()
{
    if (m_dirty)
        return;
    m_dirty = true;
    QDeclarativeLayout* outermost = this;
    while (auto* parentLayout = qobject_cast<QDeclarativeLayout*>(outermost->parentItem())) {
        if (parentLayout->m_dirty)
            return; // a request is already on its way
        parentLayout->m_dirty = true;
        outermost = parentLayout;
    }
    QCoreApplication::postEvent(outermost, new QEvent(QEvent::LayoutRequest));
}

bool QDeclarativeLayout::event(QEvent* event)
{
    if (event->type() == QEvent::LayoutRequest)
        activateRecursively();
    return QQuickItem::event(event);
}

void QDeclarativeLayout::activateRecursively()
{
    // Cleared first: a change that this pass itself causes (a nested
    // layout resized by its parent) asks for a pass of its own instead of
    // finding everything still marked and being dropped.
    m_dirty = false;
    const QList<QQuickItem*> children = childItems();
    for (QQuickItem* child : children) {
        auto* layout = qobject_cast<QDeclarativeLayout*>(child);
        if (layout && layout->m_dirty)
            layout->activateRecursively();
    }
    updateLayout();
}

QDeclarativeLayoutAttached* QDeclarativeLayout::qmlAttachedProperties(QObject* object)
{
    return new QDeclarativeLayoutAttached(object);
}

QDeclarativeLayoutAttached* QDeclarativeLayout::attachedOf(QObject* item)
{
    return qobject_cast<QDeclarativeLayoutAttached*>(
        qmlAttachedPropertiesObject<QDeclarativeLayout>(item, true));
}

QDeclarativeLayoutAttached::QDeclarativeLayoutAttached(QObject* parent) : QObject(parent) {}

void QDeclarativeLayoutAttached::setLimit(qreal& stored, qreal value)
{
    if (std::isnan(value) || value == stored)
        return;
    stored = value;
    invalidateLayout();
}

void QDeclarativeLayoutAttached::setPolicy(QDeclarativeLayout::SizePolicy& stored,
                                           QDeclarativeLayout::SizePolicy policy)
{
    if (policy == stored)
        return;
    stored = policy;
    invalidateLayout();
}

void QDeclarativeLayoutAttached::invalidateLayout()
{
    if (m_layout)
        m_layout->invalidate();
}

} // namespace Desktop
