#pragma once
// Test helpers for hosted windows: act on a modal window once it runs its
// own event loop, and find the windows and views a call has shown.

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QQuickItem>
#include <QQuickWidget>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace hostedwindows_detail {

// Hides every modal window, innermost first, so that each one's event loop
// returns: the way out of a dialog that a test failed to answer.
inline void hideModalWindows()
{
    for (int i = 0; i < 16; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        modal->hide();
    }
}

} // namespace hostedwindows_detail

// Runs `act` with the modal widget once it is shown, active and inside the
// event loop of its own that showing it starts: the state a user answers it
// in. Acting any earlier races the dialog: a dialog closed before its loop
// runs is never left, and a file dialog's name box, once focused, ignores
// selectFile().
// Bounded: when no modal is ready within `boundMs`, or the one answered is
// still open `boundMs` after `act`, the test fails saying which and the
// modal windows are hidden, so that a wrong answer fails in seconds.
inline void whenModalShows(std::function<void(QWidget*)> act, int boundMs = 10000)
{
    struct Watch {
        QElapsedTimer clock;
        int loopLevelArmed = 0;
        bool acted = false;
        QPointer<QWidget> answered;
        QString title;
    };
    auto watch = std::make_shared<Watch>();
    watch->clock.start();
    watch->loopLevelArmed = QThread::currentThread()->loopLevel();
    // Owned by the application as well, so that a watch still running when
    // the test program ends is freed.
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act, watch, boundMs] {
        const auto finish = [timer] {
            timer->stop();
            timer->deleteLater();
        };
        if (watch->acted) {
            if (!watch->answered || !watch->answered->isVisible())
                return finish();
            if (watch->clock.elapsed() < boundMs)
                return;
            ADD_FAILURE() << "the modal window \"" << watch->title.toStdString() << "\" was still open "
                          << boundMs << " ms after the test answered it";
            finish();
            return hostedwindows_detail::hideModalWindows();
        }
        QWidget* modal = QApplication::activeModalWidget();
        const bool ready = modal && modal->isVisible() && modal->isActiveWindow()
                           && QThread::currentThread()->loopLevel() > watch->loopLevelArmed;
        if (!ready) {
            if (watch->clock.elapsed() < boundMs)
                return;
            ADD_FAILURE() << "no modal window was shown and active in its own event loop within " << boundMs
                          << " ms" << (modal ? " (one was shown but never became active)" : "");
            finish();
            return hostedwindows_detail::hideModalWindows();
        }
        watch->acted = true;
        watch->answered = modal;
        watch->title = modal->windowTitle();
        act(modal);
        if (!watch->answered || !watch->answered->isVisible())
            return finish();
        watch->clock.restart();
    });
    timer->start();
}

// While it stands, closes each message box that shows, keeping its text:
// a test's way out of a box it did not wait for.
class MessageBoxCloser {
public:
    MessageBoxCloser()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box && !paused) {
                texts << box->text();
                box->close();
            }
        });
        timer_.start(20);
    }
    QStringList texts;
    bool paused = false; // while a test looks at a box

private:
    QTimer timer_;
};

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
