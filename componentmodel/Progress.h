#pragma once
// Measures a job whose advance is a number moving from a begin value to an
// end value: keeps the value, the working time in ms (pauses excluded) and a
// recent speed, and estimates the remaining time in ms (-1 before any
// estimate). While running it announces elapsed and remaining time every
// update interval, elapsed first. Times come from a monotonic clock.
// GUI thread only (its timer lives there).

#include "componentmodel/SignalArgs.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace ComponentModel {

class Progress : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 beginValue READ beginValue)
    Q_PROPERTY(qint64 endValue READ endValue)
    Q_PROPERTY(qint64 value READ value WRITE setValue)
    Q_PROPERTY(qint64 elapsedTime READ elapsedTime NOTIFY elapsedTimeChanged)
    Q_PROPERTY(qint64 remainingTime READ remainingTime NOTIFY remainingTimeChanged)
public:
    // A monotonic time in ms; only differences are used.
    using Clock = std::function<qint64()>;

    Progress(qint64 begin, qint64 end, int updateInterval, qint64 minimumStep, QObject* parent = nullptr);

    qint64 beginValue() const { return begin_; }
    qint64 endValue() const { return end_; }
    qint64 value() const { return value_; }
    qint64 elapsedTime() const;
    qint64 remainingTime() const;
    bool isRunning() const { return running_; }

    // Values outside [begin, end] are ignored.
    void setValue(qint64 value);

    Q_INVOKABLE bool start();
    Q_INVOKABLE bool stop();
    Q_INVOKABLE void reset();

    // Replaces the clock (tests drive time by hand); call it while stopped.
    void setClock(Clock clock);

signals:
    void elapsedTimeChanged(ComponentModel::PropertyChangedSignalArgs args);
    void remainingTimeChanged(ComponentModel::PropertyChangedSignalArgs args);

public slots:
    void update();

private:
    qint64 begin_;
    qint64 end_;
    qint64 value_;
    qint64 minimumStep_;
    qint64 lastValue_;
    qint64 lastElapsed_ = 0;
    double speed_ = 0.0;
    qint64 accumulated_ = 0;
    bool running_ = false;
    qint64 runStartedAt_ = 0;
    int updateInterval_;
    Clock clock_;
    QTimer updateTimer_;
};

} // namespace ComponentModel
