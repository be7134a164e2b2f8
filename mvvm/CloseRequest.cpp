#include "mvvm/CloseRequest.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include <xcb/xcb.h>

namespace Mvvm {

namespace {

xcb_atom_t atomNamed(const char* name)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return XCB_ATOM_NONE;
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace

std::optional<CloseRequest> closeRequestIn(const QByteArray& eventType, const void* message)
{
    if (eventType != "xcb_generic_event_t")
        return std::nullopt;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    // Sent by another client (the window manager): the high bit is set.
    if ((event->response_type & ~0x80) != XCB_CLIENT_MESSAGE)
        return std::nullopt;
    static const xcb_atom_t protocols = atomNamed("WM_PROTOCOLS");
    static const xcb_atom_t deleteWindow = atomNamed("WM_DELETE_WINDOW");
    const auto* client = reinterpret_cast<const xcb_client_message_event_t*>(event);
    if (protocols == XCB_ATOM_NONE || client->type != protocols || client->format != 32 ||
        client->data.data32[0] != deleteWindow)
        return std::nullopt;
    return CloseRequest{client->window, client->data.data32[1]};
}

} // namespace Mvvm
