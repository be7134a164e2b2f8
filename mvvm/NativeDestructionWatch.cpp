#include "mvvm/NativeDestructionWatch.h"

#include <QCoreApplication>
#include <QWidget>

#include <xcb/xcb.h>

namespace Mvvm {

NativeDestructionWatch::NativeDestructionWatch(QWidget* window) : QObject(window), window_(window)
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

NativeDestructionWatch::~NativeDestructionWatch()
{
    QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool NativeDestructionWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    // Only the server's own report: one another client sent has the high bit set.
    if (static_cast<const xcb_generic_event_t*>(message)->response_type != XCB_DESTROY_NOTIFY)
        return false;
    // Qt forgets the number of a native window it destroys itself before
    // the report comes back.
    const WId destroyed = static_cast<const xcb_destroy_notify_event_t*>(message)->window;
    if (destroyed != 0 && destroyed == window_->internalWinId())
        emit destroyedFromOutside();
    return false;
}

} // namespace Mvvm
