#include "mvvm/EarlyCloseGuard.h"

#include "mvvm/CloseRequest.h"

#include <QCoreApplication>
#include <QWidget>

#include <optional>

#include <xcb/xcb.h>

namespace Mvvm {

namespace {

// Less than anyone takes to see a window come and answer it.
const std::int32_t unseenMs = 500;

} // namespace

EarlyCloseGuard::EarlyCloseGuard(QWidget& window) : window_(window)
{
    sinceStart_.start();
    QCoreApplication::instance()->installNativeEventFilter(this);
}

EarlyCloseGuard::~EarlyCloseGuard() { QCoreApplication::instance()->removeNativeEventFilter(this); }

bool EarlyCloseGuard::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    const WId own = window_.internalWinId();
    if (own == 0 || eventType != "xcb_generic_event_t")
        return false;
    // Qt sets the window's properties as it shows it, the window manager
    // as it takes it on the screen: the first change seen is the show.
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) == XCB_PROPERTY_NOTIFY) {
        const auto* property = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (property->window == own && shownAt_ == 0)
            shownAt_ = property->time;
        return false;
    }
    const std::optional<CloseRequest> close = closeRequestIn(eventType, message);
    if (!close || close->window != own)
        return false;
    if (close->time != 0 && shownAt_ != 0)
        return std::int32_t(close->time - shownAt_) < unseenMs; // the server's clock wraps
    return sinceStart_.elapsed() < unseenMs;
}

} // namespace Mvvm
