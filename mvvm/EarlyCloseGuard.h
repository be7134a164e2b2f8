#pragma once
// While it stands, a close the window system asks of `window` in its first
// half second on the screen is dropped: the key or click that asked it
// (Alt+F4, a title bar's close) was made before the user could have seen
// the window, and was meant for the one it came over. A message box that
// shows as the user acts so stays until it is answered. Judged on the X
// server's clock (the time of the user's action against the time the
// window's properties were set as it showed), which a busy machine does
// not stretch; where the window manager gives no time, on the program's
// own clock from the guard's start. Made just before the window shows.
// Does nothing off X11. GUI thread.

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>

#include <cstdint>

class QWidget;

namespace Mvvm {

class EarlyCloseGuard : public QAbstractNativeEventFilter {
public:
    explicit EarlyCloseGuard(QWidget& window);
    ~EarlyCloseGuard() override;
    EarlyCloseGuard(const EarlyCloseGuard&) = delete;
    EarlyCloseGuard& operator=(const EarlyCloseGuard&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    QWidget& window_;
    std::uint32_t shownAt_ = 0; // the X server's time; 0 until seen
    QElapsedTimer sinceStart_;
};

} // namespace Mvvm
