#pragma once
// Helpers of the online service tests: what would go to the desktop is
// recorded instead, the settings store starts empty, and the GUI thread's
// events are run until a condition holds.

#include "componentmodel/DesktopLauncher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QStringList>
#include <QThread>

#include <functional>
#include <ostream>

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}

namespace FeedbackTesting {

// Records every URL handed to the desktop; refuses those whose scheme is
// listed in `refused`.
struct LaunchRecorder {
    explicit LaunchRecorder(QStringList refusedSchemes = {}) : refused(std::move(refusedSchemes))
    {
        previous = ComponentModel::setUrlLauncher([this](const QUrl& url, ComponentModel::LaunchMode) {
            opened << url.toString(QUrl::FullyEncoded);
            return !refused.contains(url.scheme());
        });
    }
    ~LaunchRecorder() { ComponentModel::setUrlLauncher(previous); }
    QStringList refused;
    QStringList opened;
    ComponentModel::UrlLauncher previous;
};

inline void clearSettings()
{
    QSettings().clear();
}

// Runs the event loop until the condition holds; false after the time-out.
inline bool runEventsUntil(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

// Counts the events of one type that reach an object.
class EventCounter : public QObject {
public:
    EventCounter(QObject* watched, int type) : type_(type) { watched->installEventFilter(this); }
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == type_)
            ++count;
        return false;
    }

private:
    int type_;
};

} // namespace FeedbackTesting
