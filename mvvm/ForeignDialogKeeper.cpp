#include "mvvm/ForeignDialogKeeper.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include <xcb/xcb.h>

namespace Mvvm {

namespace {

xcb_connection_t* connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootOf(xcb_connection_t* c) { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }

xcb_atom_t activeWindowAtom(xcb_connection_t* c)
{
    static const char name[] = "_NET_ACTIVE_WINDOW";
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace

ForeignDialogKeeper::ForeignDialogKeeper(QWidget* window) : window_(window ? window->window() : nullptr)
{
    if (!window_ || !connection())
        return;
    windowId_ = std::uint32_t(window_->winId());
    QCoreApplication::instance()->installNativeEventFilter(this);
}

ForeignDialogKeeper::~ForeignDialogKeeper()
{
    if (!windowId_)
        return;
    QCoreApplication::instance()->removeNativeEventFilter(this);
    giveActivationBack(window_);
}

void ForeignDialogKeeper::setDialog(std::uint32_t dialog)
{
    dialog_ = dialog;
    xcb_connection_t* c = connection();
    if (!windowId_ || !c || !dialog)
        return;
    // Its map and its end are told to every program that asks.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
        xcb_request_check(c, xcb_change_window_attributes_checked(c, dialog, XCB_CW_EVENT_MASK, &mask)), &std::free);
    if (error && left_)
        left_(true);
}

bool ForeignDialogKeeper::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (!dialog_ || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & ~0x80) {
    case XCB_BUTTON_PRESS:
        if (reinterpret_cast<const xcb_button_press_event_t*>(event)->event == windowId_)
            bringDialogForward();
        break;
    case XCB_UNMAP_NOTIFY:
        if (reinterpret_cast<const xcb_unmap_notify_event_t*>(event)->window == dialog_ && left_)
            left_(false);
        break;
    case XCB_DESTROY_NOTIFY:
        if (reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == dialog_ && left_)
            left_(true);
        break;
    case XCB_FOCUS_IN: {
        const auto* focus = reinterpret_cast<const xcb_focus_in_event_t*>(event);
        if (focus->event == windowId_ && focus->detail != XCB_NOTIFY_DETAIL_POINTER &&
            focus->mode == XCB_NOTIFY_MODE_NORMAL)
            bringDialogForward();
        break;
    }
    default:
        break;
    }
    return false; // Qt's own handling (the window is blocked) follows
}

// As a pager asks it, which window managers obey: the dialog raised and
// given the keyboard. One that has already gone is no longer managed, and
// the asking does nothing.
void ForeignDialogKeeper::bringDialogForward()
{
    xcb_connection_t* c = connection();
    if (!c)
        return;
    xcb_client_message_event_t activate;
    std::memset(&activate, 0, sizeof activate);
    activate.response_type = XCB_CLIENT_MESSAGE;
    activate.format = 32;
    activate.window = dialog_;
    activate.type = activeWindowAtom(c);
    activate.data.data32[0] = 2; // from a pager
    activate.data.data32[1] = XCB_CURRENT_TIME;
    activate.data.data32[2] = windowId_;
    xcb_send_event(c, 0, rootOf(c), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&activate));
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c, dialog_, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(c);
}

// The keyboard on the window while Qt counts no window of it active: the
// activation Qt forgot is told to Qt again, as the window system's own
// event, sent to this program alone.
void ForeignDialogKeeper::giveActivationBack(QWidget* window)
{
    xcb_connection_t* c = connection();
    if (!c || !window || QGuiApplication::focusWindow())
        return;
    const std::uint32_t windowId = std::uint32_t(window->window()->winId());
    std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&std::free)> focus(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr), &std::free);
    if (!focus || focus->focus != windowId)
        return;
    xcb_focus_in_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_FOCUS_IN;
    event.detail = XCB_NOTIFY_DETAIL_NONLINEAR;
    event.event = windowId;
    event.mode = XCB_NOTIFY_MODE_NORMAL;
    // No event mask: the event goes to the client that made the window.
    xcb_send_event(c, 0, windowId, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(c);
}

} // namespace Mvvm
