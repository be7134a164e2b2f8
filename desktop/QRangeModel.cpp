#include "QRangeModel.h"
#include "QRangeModel_p.h"

#include <QtMath>

#include <cmath>

namespace Desktop {

namespace {

bool changed(qreal a, qreal b)
{
    return !qFuzzyCompare(a, b);
}

} // namespace

QRangeModelPrivate::QRangeModelPrivate(QRangeModel* owner) : q_ptr(owner) {}

QRangeModelPrivate::~QRangeModelPrivate() = default;

qreal QRangeModelPrivate::positionOf(qreal v) const
{
    const qreal valueRange = maximum - minimum;
    if (valueRange == 0)
        return effectivePositionAtMinimum();
    const qreal start = effectivePositionAtMinimum();
    const qreal end = effectivePositionAtMaximum();
    return start + (end - start) / valueRange * (v - minimum);
}

qreal QRangeModelPrivate::valueOf(qreal p) const
{
    const qreal start = effectivePositionAtMinimum();
    const qreal positionRange = effectivePositionAtMaximum() - start;
    if (positionRange == 0)
        return minimum;
    return minimum + (p - start) * ((maximum - minimum) / positionRange);
}

qreal QRangeModelPrivate::publicValue(qreal v) const
{
    if (stepSize == 0)
        return qMax(minimum, qMin(v, maximum));
    // Steps counted from the minimum, truncated toward zero; a value halfway
    // between two steps goes to the lower one.
    const qreal k = std::trunc((v - minimum) / stepSize);
    if (k < 0)
        return minimum;
    const qreal left = qMin(maximum, minimum + k * stepSize);
    const qreal right = qMin(maximum, minimum + (k + 1) * stepSize);
    return v <= (left + right) * 0.5 ? left : right;
}

qreal QRangeModelPrivate::publicPosition(qreal p) const
{
    const qreal start = effectivePositionAtMinimum();
    const qreal end = effectivePositionAtMaximum();
    const qreal valueRange = maximum - minimum;
    const qreal ratio = valueRange == 0 ? 0 : (end - start) / valueRange;
    const qreal positionStep = stepSize * ratio;
    if (positionStep == 0)
        return start <= end ? qBound(start, p, end) : qBound(end, p, start);

    const qreal k = std::trunc((p - start) / positionStep);
    if (k < 0)
        return start;
    qreal left = start + k * positionStep;
    qreal right = start + (k + 1) * positionStep;
    if (end > start) {
        left = qMin(left, end);
        right = qMin(right, end);
    } else {
        left = qMax(left, end);
        right = qMax(right, end);
    }
    return std::abs(left - p) <= std::abs(right - p) ? left : right;
}

QRangeModel::QRangeModel(QObject* parent)
    : QObject(parent), d_ptr(new QRangeModelPrivate(this))
{
}

QRangeModel::QRangeModel(QRangeModelPrivate& dd, QObject* parent) : QObject(parent), d_ptr(&dd)
{
    dd.q_ptr = this;
}

QRangeModel::~QRangeModel() = default;

qreal QRangeModel::value() const { return d_ptr->publicValue(d_ptr->value); }
qreal QRangeModel::position() const { return d_ptr->publicPosition(d_ptr->pos); }
qreal QRangeModel::minimum() const { return d_ptr->minimum; }
qreal QRangeModel::maximum() const { return d_ptr->maximum; }
qreal QRangeModel::stepSize() const { return d_ptr->stepSize; }
qreal QRangeModel::positionAtMinimum() const { return d_ptr->posAtMin; }
qreal QRangeModel::positionAtMaximum() const { return d_ptr->posAtMax; }
bool QRangeModel::inverted() const { return d_ptr->inverted; }

qreal QRangeModel::valueForPosition(qreal position) const
{
    return d_ptr->publicValue(d_ptr->valueOf(position));
}

qreal QRangeModel::positionForValue(qreal value) const
{
    return d_ptr->publicPosition(d_ptr->positionOf(value));
}

void QRangeModel::emitValueAndPositionIfChanged(qreal oldValue, qreal oldPosition)
{
    const qreal newValue = value();
    const qreal newPosition = position();
    if (changed(oldValue, newValue))
        emit valueChanged(newValue);
    if (changed(oldPosition, newPosition))
        emit positionChanged(newPosition);
}

void QRangeModel::setValue(qreal newValue)
{
    if (std::isnan(newValue) || !changed(newValue, d_ptr->value))
        return;
    const qreal oldValue = value();
    const qreal oldPosition = position();
    d_ptr->value = newValue;
    d_ptr->pos = d_ptr->positionOf(newValue);
    emitValueAndPositionIfChanged(oldValue, oldPosition);
}

void QRangeModel::setPosition(qreal newPosition)
{
    if (std::isnan(newPosition) || !changed(newPosition, d_ptr->pos))
        return;
    const qreal oldPosition = position();
    const qreal oldValue = value();
    d_ptr->pos = newPosition;
    d_ptr->value = d_ptr->valueOf(newPosition);
    emitValueAndPositionIfChanged(oldValue, oldPosition);
}

void QRangeModel::setRange(qreal min, qreal max)
{
    if (std::isnan(min) || std::isnan(max))
        return;
    const bool minimumChangedNow = changed(min, d_ptr->minimum);
    const bool maximumChangedNow = changed(max, d_ptr->maximum);
    if (!minimumChangedNow && !maximumChangedNow)
        return;
    const qreal oldValue = value();
    const qreal oldPosition = position();
    d_ptr->minimum = min;
    d_ptr->maximum = qMax(min, max);
    d_ptr->pos = d_ptr->positionOf(d_ptr->value);
    if (minimumChangedNow)
        emit minimumChanged(min);
    if (maximumChangedNow)
        emit maximumChanged(d_ptr->maximum);
    emitValueAndPositionIfChanged(oldValue, oldPosition);
}

void QRangeModel::setMinimumValue(qreal min)
{
    setRange(min, d_ptr->maximum);
}

void QRangeModel::setMaximumValue(qreal max)
{
    setRange(qMin(d_ptr->minimum, max), max);
}

void QRangeModel::setPositionRange(qreal min, qreal max)
{
    if (std::isnan(min) || std::isnan(max))
        return;
    const bool startChanged = changed(min, d_ptr->posAtMin);
    const bool endChanged = changed(max, d_ptr->posAtMax);
    if (!startChanged && !endChanged)
        return;
    const qreal oldPosition = position();
    d_ptr->posAtMin = min;
    d_ptr->posAtMax = max;
    d_ptr->pos = d_ptr->positionOf(d_ptr->value);
    if (startChanged)
        emit positionAtMinimumChanged(min);
    if (endChanged)
        emit positionAtMaximumChanged(max);
    emitValueAndPositionIfChanged(value(), oldPosition);
}

void QRangeModel::setPositionAtMinimum(qreal position)
{
    setPositionRange(position, d_ptr->posAtMax);
}

void QRangeModel::setPositionAtMaximum(qreal position)
{
    setPositionRange(d_ptr->posAtMin, position);
}

void QRangeModel::setStepSize(qreal newStepSize)
{
    if (std::isnan(newStepSize) || newStepSize < 0)
        newStepSize = 0;
    if (!changed(newStepSize, d_ptr->stepSize))
        return;
    const qreal oldValue = value();
    const qreal oldPosition = position();
    d_ptr->stepSize = newStepSize;
    emit stepSizeChanged(newStepSize);
    emitValueAndPositionIfChanged(oldValue, oldPosition);
}

void QRangeModel::setInverted(bool newInverted)
{
    if (newInverted == d_ptr->inverted)
        return;
    d_ptr->inverted = newInverted;
    emit invertedChanged(newInverted);
    // The value stays; its position moves to the mirrored place.
    setPosition(d_ptr->positionOf(d_ptr->value));
}

void QRangeModel::toMinimum()
{
    setValue(d_ptr->minimum);
}

void QRangeModel::toMaximum()
{
    setValue(d_ptr->maximum);
}

} // namespace Desktop
