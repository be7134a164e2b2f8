#pragma once
// A value kept in [minimumValue, maximumValue], optionally snapped to
// multiples of stepSize, mapped linearly onto a pixel range
// [positionAtMinimum, positionAtMaximum] that may be inverted. Scroll bars,
// sliders and dials keep their thumb in one. Value and position are stored as
// written and constrained only when read, so a binding that briefly puts the
// value outside the range gives the right public value once the range
// catches up. Writes equal within 1e-12 relative change nothing; writes of NaN
// are ignored. GUI thread only.

#include <QObject>

#include <memory>

namespace Desktop {

class QRangeModelPrivate;

class QRangeModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(qreal value READ value WRITE setValue NOTIFY valueChanged USER true)
    Q_PROPERTY(qreal minimumValue READ minimum WRITE setMinimumValue NOTIFY minimumChanged)
    Q_PROPERTY(qreal maximumValue READ maximum WRITE setMaximumValue NOTIFY maximumChanged)
    Q_PROPERTY(qreal stepSize READ stepSize WRITE setStepSize NOTIFY stepSizeChanged)
    Q_PROPERTY(qreal position READ position WRITE setPosition NOTIFY positionChanged)
    Q_PROPERTY(qreal positionAtMinimum READ positionAtMinimum WRITE setPositionAtMinimum
               NOTIFY positionAtMinimumChanged)
    Q_PROPERTY(qreal positionAtMaximum READ positionAtMaximum WRITE setPositionAtMaximum
               NOTIFY positionAtMaximumChanged)
    Q_PROPERTY(bool inverted READ inverted WRITE setInverted NOTIFY invertedChanged)

public:
    explicit QRangeModel(QObject* parent = nullptr);
    ~QRangeModel() override;

    qreal value() const;
    qreal position() const;
    qreal minimum() const;
    qreal maximum() const;
    qreal stepSize() const;
    qreal positionAtMinimum() const;
    qreal positionAtMaximum() const;
    bool inverted() const;

    void setMinimumValue(qreal min);
    void setMaximumValue(qreal max);
    void setRange(qreal min, qreal max);
    void setStepSize(qreal stepSize);
    void setPositionAtMinimum(qreal position);
    void setPositionAtMaximum(qreal position);
    void setPositionRange(qreal min, qreal max);
    void setInverted(bool inverted);

    // The public (clamped, snapped) value of a position and position of a
    // value; neither changes the model.
    Q_INVOKABLE qreal valueForPosition(qreal position) const;
    Q_INVOKABLE qreal positionForValue(qreal value) const;

public slots:
    void toMinimum();
    void toMaximum();
    void setValue(qreal value);
    void setPosition(qreal position);

signals:
    void valueChanged(qreal value);
    void positionChanged(qreal position);
    void stepSizeChanged(qreal stepSize);
    void invertedChanged(bool inverted);
    void minimumChanged(qreal min);
    void maximumChanged(qreal max);
    void positionAtMinimumChanged(qreal min);
    void positionAtMaximumChanged(qreal max);

protected:
    // For subclasses that keep more state in a private object of their own.
    QRangeModel(QRangeModelPrivate& dd, QObject* parent);

    std::unique_ptr<QRangeModelPrivate> d_ptr;

private:
    void emitValueAndPositionIfChanged(qreal oldValue, qreal oldPosition);
};

} // namespace Desktop
