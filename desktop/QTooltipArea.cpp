#include "QTooltipArea.h"

#include <QCursor>
#include <QToolTip>

namespace Desktop {

QTooltipArea::QTooltipArea(QQuickItem* parent) : QQuickItem(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &QTooltipArea::timeout);
    setAcceptHoverEvents(true);
}

void QTooltipArea::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    emit textChanged();
}

void QTooltipArea::timeout()
{
    QToolTip::showText(QCursor::pos(), m_text);
}

void QTooltipArea::hoverEnterEvent(QHoverEvent* event)
{
    m_timer.start(delayMs);
    m_containsMouse = true;
    emit containsMouseChanged();
    QQuickItem::hoverEnterEvent(event);
}

void QTooltipArea::hoverLeaveEvent(QHoverEvent* event)
{
    m_timer.stop();
    m_containsMouse = false;
    emit containsMouseChanged();
    QQuickItem::hoverLeaveEvent(event);
}

} // namespace Desktop
