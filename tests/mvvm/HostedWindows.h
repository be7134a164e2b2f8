#pragma once
// Test helpers for hosted windows: act on a modal window once it runs its
// own event loop, and find the windows and views a call has shown.

#include <QApplication>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWidget>
#include <QTimer>
#include <QWidget>

#include <functional>

// Runs `act` with the modal widget as soon as one is shown; polls from the
// event loop that showing it starts.
inline void whenModalShows(std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(modal);
    });
    timer->start();
}

inline QObject* rootOf(QWidget* window)
{
    auto* view = window->findChild<QQuickWidget*>();
    return view ? view->rootObject() : nullptr;
}

// The visible top-level window of type T that is not in `before`.
template <typename T>
T* newWindow(const QWidgetList& before)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!before.contains(widget) && widget->isVisible()) {
            if (auto* window = qobject_cast<T*>(widget))
                return window;
        }
    }
    return nullptr;
}

// Lets deleteLater() and WA_DeleteOnClose take effect.
inline void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
