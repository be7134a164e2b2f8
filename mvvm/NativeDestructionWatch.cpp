#include "mvvm/NativeDestructionWatch.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>

namespace Mvvm {

namespace {

xcb_connection_t* connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t wmStateAtom(xcb_connection_t* c)
{
    static xcb_atom_t atom = XCB_ATOM_NONE;
    if (atom == XCB_ATOM_NONE) {
        static const char name[] = "WM_STATE";
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr), &std::free);
        if (reply)
            atom = reply->atom;
    }
    return atom;
}

const std::uint32_t withdrawnState = 0;

} // namespace

NativeDestructionWatch::NativeDestructionWatch(QWidget* window) : QObject(window), window_(window)
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

NativeDestructionWatch::~NativeDestructionWatch()
{
    QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool NativeDestructionWatch::letGo() const
{
    xcb_connection_t* c = connection();
    if (!c)
        return false;
    const xcb_atom_t state = wmStateAtom(c);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(
            c, xcb_get_property(c, 0, xcb_window_t(window_->internalWinId()), state, state, 0, 1), nullptr),
        &std::free);
    return !reply || xcb_get_property_value_length(reply.get()) < 4 ||
           *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get())) == withdrawnState;
}

bool NativeDestructionWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    // Only the server's own reports: one another client sent has the high
    // bit set. Qt forgets the number of a native window it destroys itself
    // before the report comes back, and hides the widget before it unmaps.
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const WId own = window_->internalWinId();
    switch (event->response_type) {
    case XCB_DESTROY_NOTIFY:
        if (own != 0 && reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == own)
            emit destroyedFromOutside();
        break;
    case XCB_MAP_NOTIFY:
        if (reinterpret_cast<const xcb_map_notify_event_t*>(event)->window == own)
            unmapped_ = false;
        break;
    case XCB_UNMAP_NOTIFY:
        // The window manager lets go of a window another client unmapped
        // some moment later (its WM_STATE changes then); with none
        // running, nobody had it.
        if (own != 0 && reinterpret_cast<const xcb_unmap_notify_event_t*>(event)->window == own &&
            window_->isVisible()) {
            unmapped_ = true;
            if (letGo())
                emit withdrawnFromOutside();
        }
        break;
    case XCB_PROPERTY_NOTIFY: {
        const auto* property = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (unmapped_ && property->window == own && window_->isVisible() &&
            property->atom == wmStateAtom(connection()) && letGo()) {
            unmapped_ = false;
            emit withdrawnFromOutside();
        }
        break;
    }
    default:
        break;
    }
    return false;
}

} // namespace Mvvm
