#pragma once
// While the window waits for a dialog another process shows for it (the
// file chooser's, FileChooserProcess.h), it keeps that dialog its own as
// far as the X11 window system allows, beside the dialog's being transient
// for it:
// - the window clicked or activated meanwhile raises and activates the
//   dialog itself, for a window manager that would bring the window above
//   its dialog;
// - the keyboard given back to the window while the wait still blocked it
//   reaches Qt once the wait is over. Qt hands such an activation to the
//   modal stand-in the window waits in, which never shows, and forgets it:
//   the window would stay inactive for Qt (no shortcut works) until clicked.
// It also tells the moment the dialog's window leaves the screen or is
// destroyed, in the order of the window system's events: before the
// keyboard comes back to the window.
// Does nothing on other platforms. GUI thread.

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>

namespace Mvvm {

class ForeignDialogKeeper : public QAbstractNativeEventFilter {
public:
    // `window`: the window waiting (may be null).
    explicit ForeignDialogKeeper(QWidget* window);
    // Gives the window its activation back where the keyboard is on it.
    ~ForeignDialogKeeper() override;
    ForeignDialogKeeper(const ForeignDialogKeeper&) = delete;
    ForeignDialogKeeper& operator=(const ForeignDialogKeeper&) = delete;

    // The dialog's own window, once it shows.
    void setDialog(std::uint32_t dialog);
    // Called, from inside Qt's event handling, as the dialog's window is
    // unmapped (false) or destroyed (true, also when it had gone before
    // setDialog).
    void whenDialogLeaves(std::function<void(bool destroyed)> left) { left_ = std::move(left); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // The keyboard on `window` while Qt counts no window of the program
    // active (a modal window took Qt's activation, and went before the
    // window system moved the keyboard): Qt is told the window has it.
    static void giveActivationBack(QWidget* window);

private:
    void bringDialogForward();

    QPointer<QWidget> window_;
    std::uint32_t windowId_ = 0; // 0 off X11
    std::uint32_t dialog_ = 0;
    std::function<void(bool)> left_;
};

} // namespace Mvvm
