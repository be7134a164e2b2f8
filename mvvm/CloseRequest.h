#pragma once
// The window system's request to close a window of this process: X11's
// WM_DELETE_WINDOW, which the window manager sends for Alt+F4, its title
// bar's close or a task bar's Close. Qt drops one for a window that a
// modal window blocks, and takes any other at once as that window's close;
// a native event filter sees it first. GUI thread.

#include <QByteArray>

#include <cstdint>
#include <optional>

namespace Mvvm {

struct CloseRequest {
    std::uint32_t window; // the native window asked to close
    // The X server's time of the user's action that asked it (the key
    // press, the click), which the window manager passes on; 0 when it
    // did not say.
    std::uint32_t time;
};

// The request a native event carries, as a QAbstractNativeEventFilter is
// given it; none for any other event, and off X11.
std::optional<CloseRequest> closeRequestIn(const QByteArray& eventType, const void* message);

} // namespace Mvvm
