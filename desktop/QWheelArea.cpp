#include "QWheelArea.h"

#include <QWheelEvent>

#include <cmath>

namespace Desktop {

namespace {

// Qt's wheel steps are eighths of a degree; one notch of 15 degrees is 120.
constexpr qreal eighthsPerDegree = 15;

qreal bounded(qreal value, qreal minimum, qreal maximum)
{
    return qMax(minimum, qMin(value, maximum));
}

} // namespace

QWheelArea::QWheelArea(QQuickItem* parent) : QQuickItem(parent) {}

void QWheelArea::setBounded(qreal& stored, qreal value, qreal minimum, qreal maximum,
                            void (QWheelArea::*changed)())
{
    if (std::isnan(value))
        return;
    value = bounded(value, minimum, maximum);
    if (qFuzzyCompare(value, stored))
        return;
    stored = value;
    emit(this->*changed)();
}

void QWheelArea::setVerticalValue(qreal value)
{
    setBounded(m_verticalValue, value, m_verticalMinimum, m_verticalMaximum,
               &QWheelArea::verticalValueChanged);
}

void QWheelArea::setHorizontalValue(qreal value)
{
    setBounded(m_horizontalValue, value, m_horizontalMinimum, m_horizontalMaximum,
               &QWheelArea::horizontalValueChanged);
}

void QWheelArea::setVerticalDelta(qreal delta)
{
    m_verticalDelta = delta * m_scrollSpeed / eighthsPerDegree;
    setVerticalValue(m_verticalValue - m_verticalDelta);
    emit verticalWheelMoved();
}

void QWheelArea::setHorizontalDelta(qreal delta)
{
    m_horizontalDelta = delta / eighthsPerDegree;
    setHorizontalValue(m_horizontalValue - m_horizontalDelta);
    emit horizontalWheelMoved();
}

void QWheelArea::setScrollSpeed(qreal speed)
{
    if (qFuzzyCompare(speed, m_scrollSpeed))
        return;
    m_scrollSpeed = speed;
    emit scrollSpeedChanged();
}

bool QWheelArea::event(QEvent* event)
{
    if (event->type() != QEvent::Wheel)
        return QQuickItem::event(event);
    // A wheel turns one way: sideways when its horizontal part is the larger.
    const QPoint angle = static_cast<QWheelEvent*>(event)->angleDelta();
    if (std::abs(angle.x()) > std::abs(angle.y()))
        setHorizontalDelta(angle.x());
    else
        setVerticalDelta(angle.y());
    event->accept();
    return true;
}

} // namespace Desktop
