#include "componentmodel/Progress.h"

#include <chrono>
#include <cmath>
#include <limits>

namespace ComponentModel {

namespace {

qint64 steadyMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Rounds toward zero and keeps the result inside qint64: a very slow speed
// sample must not turn into an undefined conversion.
qint64 truncateToInt64(double value)
{
    constexpr double limit = 9.2e18;
    if (std::isnan(value))
        return 0;
    if (value >= limit)
        return std::numeric_limits<qint64>::max();
    if (value <= -limit)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(value);
}

} // namespace

Progress::Progress(qint64 begin, qint64 end, int updateInterval, qint64 minimumStep, QObject* parent)
    : QObject(parent), begin_(begin), end_(end), value_(begin), minimumStep_(minimumStep), lastValue_(begin),
      updateInterval_(updateInterval), clock_(steadyMilliseconds)
{
    connect(&updateTimer_, &QTimer::timeout, this, &Progress::update);
}

qint64 Progress::elapsedTime() const
{
    return running_ ? accumulated_ + (clock_() - runStartedAt_) : accumulated_;
}

qint64 Progress::remainingTime() const
{
    const qint64 elapsed = elapsedTime();
    if (value_ == begin_ || elapsed == 0)
        return -1;
    const qint64 rest = end_ - value_;
    // 128 bits: elapsed × rest may not fit 64 on long jobs with wide ranges.
    const __int128 product = static_cast<__int128>(elapsed) * rest;
    const __int128 quotient = product / (value_ - begin_);
    const qint64 estimate = quotient > std::numeric_limits<qint64>::max()   ? std::numeric_limits<qint64>::max()
                            : quotient < std::numeric_limits<qint64>::min() ? std::numeric_limits<qint64>::min()
                                                                            : static_cast<qint64>(quotient);
    if (speed_ > 0.0)
        return truncateToInt64(0.7 * static_cast<double>(estimate) + 0.3 * static_cast<double>(rest) / speed_);
    return estimate;
}

void Progress::setValue(qint64 value)
{
    if (value < begin_ || value > end_)
        return;
    value_ = value;
    if (!running_)
        return;
    const qint64 delta = value - lastValue_;
    if (delta < minimumStep_)
        return;
    const qint64 elapsed = elapsedTime();
    speed_ = static_cast<double>(delta) / static_cast<double>(elapsed - lastElapsed_);
    lastValue_ = value_;
    lastElapsed_ = elapsed;
}

bool Progress::start()
{
    if (running_)
        return false;
    lastValue_ = value_;
    lastElapsed_ = accumulated_;
    runStartedAt_ = clock_();
    running_ = true;
    updateTimer_.start(updateInterval_);
    return true;
}

bool Progress::stop()
{
    if (!running_)
        return false;
    accumulated_ += clock_() - runStartedAt_;
    running_ = false;
    updateTimer_.stop();
    return true;
}

void Progress::reset()
{
    value_ = begin_;
    accumulated_ = 0;
    lastValue_ = begin_;
    lastElapsed_ = 0;
    speed_ = 0.0;
    running_ = false;
    updateTimer_.stop();
}

void Progress::setClock(Clock clock)
{
    clock_ = clock ? std::move(clock) : Clock(steadyMilliseconds);
}

void Progress::update()
{
    emit elapsedTimeChanged(PropertyChangedSignalArgs(this, QStringLiteral("elapsedTimeChanged"),
                                                      QVariant::fromValue(elapsedTime())));
    emit remainingTimeChanged(PropertyChangedSignalArgs(this, QStringLiteral("remainingTimeChanged"),
                                                        QVariant::fromValue(remainingTime())));
}

} // namespace ComponentModel
