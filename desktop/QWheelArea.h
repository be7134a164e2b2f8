#pragma once
// An invisible item that turns mouse-wheel turns into bounded scroll values:
// a wheel step of d (eighths of a degree, 120 per notch) moves verticalValue
// by -d * scrollSpeed / 15 and horizontalValue by -d / 15, each kept within
// its minimum and maximum (the minimum wins when they cross). GUI thread only.

#include <QQuickItem>

namespace Desktop {

class QWheelArea : public QQuickItem {
    Q_OBJECT
    Q_PROPERTY(qreal verticalDelta READ verticalDelta WRITE setVerticalDelta NOTIFY verticalWheelMoved)
    Q_PROPERTY(qreal horizontalDelta READ horizontalDelta WRITE setHorizontalDelta
               NOTIFY horizontalWheelMoved)
    Q_PROPERTY(qreal horizontalMinimumValue READ horizontalMinimumValue WRITE setHorizontalMinimumValue)
    Q_PROPERTY(qreal horizontalMaximumValue READ horizontalMaximumValue WRITE setHorizontalMaximumValue)
    Q_PROPERTY(qreal verticalMinimumValue READ verticalMinimumValue WRITE setVerticalMinimumValue)
    Q_PROPERTY(qreal verticalMaximumValue READ verticalMaximumValue WRITE setVerticalMaximumValue)
    Q_PROPERTY(qreal horizontalValue READ horizontalValue WRITE setHorizontalValue)
    Q_PROPERTY(qreal verticalValue READ verticalValue WRITE setVerticalValue)
    Q_PROPERTY(qreal scrollSpeed READ scrollSpeed WRITE setScrollSpeed NOTIFY scrollSpeedChanged)

public:
    explicit QWheelArea(QQuickItem* parent = nullptr);

    qreal verticalDelta() const { return m_verticalDelta; }
    qreal horizontalDelta() const { return m_horizontalDelta; }
    qreal horizontalMinimumValue() const { return m_horizontalMinimum; }
    qreal horizontalMaximumValue() const { return m_horizontalMaximum; }
    qreal verticalMinimumValue() const { return m_verticalMinimum; }
    qreal verticalMaximumValue() const { return m_verticalMaximum; }
    qreal horizontalValue() const { return m_horizontalValue; }
    qreal verticalValue() const { return m_verticalValue; }
    qreal scrollSpeed() const { return m_scrollSpeed; }

    void setVerticalDelta(qreal delta);
    void setHorizontalDelta(qreal delta);
    void setHorizontalMinimumValue(qreal value) { m_horizontalMinimum = value; }
    void setHorizontalMaximumValue(qreal value) { m_horizontalMaximum = value; }
    void setVerticalMinimumValue(qreal value) { m_verticalMinimum = value; }
    void setVerticalMaximumValue(qreal value) { m_verticalMaximum = value; }
    void setHorizontalValue(qreal value);
    void setVerticalValue(qreal value);
    void setScrollSpeed(qreal speed);

    bool event(QEvent* event) override;

signals:
    void verticalValueChanged();
    void horizontalValueChanged();
    void verticalWheelMoved();
    void horizontalWheelMoved();
    void scrollSpeedChanged();

private:
    void setBounded(qreal& stored, qreal value, qreal minimum, qreal maximum,
                    void (QWheelArea::*changed)());

    qreal m_verticalDelta = 0;
    qreal m_horizontalDelta = 0;
    qreal m_horizontalMinimum = 0;
    qreal m_horizontalMaximum = 0;
    qreal m_verticalMinimum = 0;
    qreal m_verticalMaximum = 0;
    qreal m_horizontalValue = 0;
    qreal m_verticalValue = 0;
    qreal m_scrollSpeed = 1.0;
};

} // namespace Desktop
