#pragma once
// Real coordinates and sizes from QML turned into the whole pixels that
// widgets and style options take: truncated toward zero, NaN as 0, and kept
// within what a widget can be (±QWIDGETSIZE_MAX), so that no value from a
// document can overflow an int.

#include <QWidget>

#include <cmath>

namespace Desktop {

inline int toPixels(qreal value)
{
    if (std::isnan(value))
        return 0;
    const qreal limit = QWIDGETSIZE_MAX;
    return int(std::trunc(qBound(-limit, value, limit)));
}

// a + b, kept within ±QWIDGETSIZE_MAX.
inline int addPixels(int a, int b)
{
    const qint64 limit = QWIDGETSIZE_MAX;
    return int(qBound(-limit, qint64(a) + b, limit));
}

} // namespace Desktop
