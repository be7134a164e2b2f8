#pragma once
// Tells when the window system takes a window's native window away without
// the program asking, which Qt does not notice, so the window would stay
// "open" with nothing on the screen:
// - destroyed: another X client's XDestroyWindow (as `xdotool
//   windowclose` does);
// - withdrawn: unmapped by another client while Qt shows it, and let go by
//   the window manager (its WM_STATE removed or Withdrawn), or unmapped
//   where no window manager runs. A window the manager iconifies or hides
//   on another desktop stays its (Iconic or Normal), and is not withdrawn.
// Watches the X events Qt receives for whatever native window the widget
// has at the time (none before it is shown, another once Qt makes a new
// one); on other window systems it never fires. The signals are emitted
// from inside Qt's event handling: connect to them queued. A child of the
// window; GUI thread only.

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
    void withdrawnFromOutside();

private:
    // Whether no window manager holds the window: no WM_STATE, or
    // Withdrawn (not Normal, not Iconic).
    bool letGo() const;

    QWidget* window_;
    bool unmapped_ = false; // from outside, while shown
};

} // namespace Mvvm
