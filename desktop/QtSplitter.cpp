#include "QtSplitter.h"

namespace Desktop {

QtSplitterAttached::QtSplitterAttached(QObject* parent) : QObject(parent) {}

template <typename T>
void QtSplitterAttached::announce(T& stored, T value, void (QtSplitterAttached::*changed)(T))
{
    // Every write is announced, equal or not: the split views count on it.
    stored = value;
    emit(this->*changed)(value);
}

void QtSplitterAttached::setMinimumWidth(qreal value)
{
    announce(m_minimumWidth, value, &QtSplitterAttached::minimumWidthChanged);
}

void QtSplitterAttached::setMaximumWidth(qreal value)
{
    announce(m_maximumWidth, value, &QtSplitterAttached::maximumWidthChanged);
}

void QtSplitterAttached::setMinimumHeight(qreal value)
{
    announce(m_minimumHeight, value, &QtSplitterAttached::minimumHeightChanged);
}

void QtSplitterAttached::setMaximumHeight(qreal value)
{
    announce(m_maximumHeight, value, &QtSplitterAttached::maximumHeightChanged);
}

void QtSplitterAttached::setPercentageSize(qreal value)
{
    announce(m_percentageSize, value, &QtSplitterAttached::percentageWidthSize);
}

void QtSplitterAttached::setExpanding(bool expanding)
{
    announce(m_expanding, expanding, &QtSplitterAttached::expandingChanged);
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

} // namespace Desktop
