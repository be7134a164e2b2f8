#pragma once
// The window's events run, in turns of about 10 ms, until `done` holds
// (asked before every turn) or `ms` have passed; whether it holds. GUI
// thread only.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace Multimedia {
namespace test {

inline bool runEventsUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (done())
            return true;
        if (waited.elapsed() >= ms)
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

} // namespace test
} // namespace Multimedia
