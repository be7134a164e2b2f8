#include "QtSplitter.h"

QtSplitterAttached::QtSplitterAttached(QObject* parent) : QObject(parent) {}

void QtSplitterAttached::setMinimumWidth(qreal value)
{
    m_minimumWidth = value;
    emit minimumWidthChanged(value);
}

void QtSplitterAttached::setMaximumWidth(qreal value)
{
    m_maximumWidth = value;
    emit maximumWidthChanged(value);
}

void QtSplitterAttached::setMinimumHeight(qreal value)
{
    m_minimumHeight = value;
    emit minimumHeightChanged(value);
}

void QtSplitterAttached::setMaximumHeight(qreal value)
{
    m_maximumHeight = value;
    emit maximumHeightChanged(value);
}

void QtSplitterAttached::setPercentageSize(qreal value)
{
    m_percentageSize = value;
    emit percentageWidthSize(value);
}

void QtSplitterAttached::setExpanding(bool expanding)
{
    m_expanding = expanding;
    emit expandingChanged(expanding);
}

void QtSplitterAttached::setItemIndex(int index)
{
    if (index == m_itemIndex)
        return;
    m_itemIndex = index;
    emit itemIndexChanged(index);
}

QtSplitterBase::QtSplitterBase(QQuickItem* parent) : QQuickItem(parent) {}

QtSplitterAttached* QtSplitterBase::qmlAttachedProperties(QObject* object)
{
    return new QtSplitterAttached(object);
}
