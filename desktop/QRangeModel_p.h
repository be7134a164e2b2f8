#pragma once
// The state of a QRangeModel and the arithmetic between values and
// positions. Raw value and position are what was written; the public forms
// are derived from them on every read.

#include <QtGlobal>

namespace Desktop {

class QRangeModel;

class QRangeModelPrivate {
public:
    explicit QRangeModelPrivate(QRangeModel* owner);
    virtual ~QRangeModelPrivate();

    qreal effectivePositionAtMinimum() const { return inverted ? posAtMax : posAtMin; }
    qreal effectivePositionAtMaximum() const { return inverted ? posAtMin : posAtMax; }

    qreal positionOf(qreal value) const;
    qreal valueOf(qreal position) const;
    qreal publicValue(qreal value) const;
    qreal publicPosition(qreal position) const;

    QRangeModel* q_ptr;
    qreal posAtMin = 0;
    qreal posAtMax = 0;
    qreal minimum = 0;
    qreal maximum = 99;
    qreal stepSize = 0;
    qreal pos = 0;
    qreal value = 0;
    bool inverted = false;
};

} // namespace Desktop
