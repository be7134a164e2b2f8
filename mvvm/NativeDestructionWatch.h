#pragma once
// Tells when the window system destroys a window's native window without
// the program asking: another X client's XDestroyWindow (as `xdotool
// windowclose` does), which Qt does not notice, so the window would stay
// "open" with nothing on the screen. Watches the X events Qt receives for
// whatever native window the widget has at the time (none before it is
// shown, another once Qt makes a new one); on other window systems it never
// fires. destroyedFromOutside() is emitted from inside Qt's event handling:
// connect to it queued. A child of the window; GUI thread only.

#include <QAbstractNativeEventFilter>
#include <QObject>

class QWidget;

namespace Mvvm {

class NativeDestructionWatch : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit NativeDestructionWatch(QWidget* window);
    ~NativeDestructionWatch() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void destroyedFromOutside();

private:
    QWidget* window_;
};

} // namespace Mvvm
