#pragma once
// What a user does and sees on an X desktop, for the tests that run on a
// virtual X server under a window manager: keys and clicks as the X server
// makes them (its XTEST extension, so that the window manager's grabs and
// the keyboard's focus take part), a task bar's Close, a window's
// WM_TRANSIENT_FOR, which
// window has the keyboard, and which of two windows the window manager
// stacks above the other. Over the application's own X connection; GUI
// thread.

#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace xdesktop {

inline xcb_connection_t* connection()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

inline xcb_window_t root() { return xcb_setup_roots_iterator(xcb_get_setup(connection())).data->root; }

// The window `window` is transient for; 0 for none.
inline xcb_window_t transientFor(xcb_window_t window)
{
    xcb_connection_t* c = connection();
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 0, 1),
                               nullptr),
        &std::free);
    if (!reply || xcb_get_property_value_length(reply.get()) < 4)
        return 0;
    return *static_cast<xcb_window_t*>(xcb_get_property_value(reply.get()));
}

// The window that has the keyboard.
inline xcb_window_t focus()
{
    xcb_connection_t* c = connection();
    std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&std::free)> reply(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr), &std::free);
    return reply ? reply->focus : 0;
}

// Whether `window` is mapped and all its ancestors too: on the screen.
inline bool onTheScreen(xcb_window_t window)
{
    xcb_connection_t* c = connection();
    std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> reply(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr), &std::free);
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

// The top-level window holding `window` (the window manager's frame).
inline xcb_window_t topLevelOf(xcb_window_t window)
{
    xcb_connection_t* c = connection();
    for (int depth = 0; depth < 16; ++depth) {
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
            xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr), &std::free);
        if (!tree || tree->parent == tree->root || tree->parent == 0)
            return window;
        window = tree->parent;
    }
    return window;
}

// Whether the window manager stacks `upper` above `lower`.
inline bool stackedAbove(xcb_window_t upper, xcb_window_t lower)
{
    xcb_connection_t* c = connection();
    const xcb_window_t upperFrame = topLevelOf(upper), lowerFrame = topLevelOf(lower);
    std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, root()), nullptr), &std::free);
    if (!tree)
        return false;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    int upperAt = -1, lowerAt = -1;
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        if (children[i] == upperFrame)
            upperAt = i;
        if (children[i] == lowerFrame)
            lowerAt = i;
    }
    return upperAt >= 0 && lowerAt >= 0 && upperAt > lowerAt; // bottom first
}

// Whether `window`'s _NET_WM_STATE holds _NET_WM_STATE_DEMANDS_ATTENTION:
// the window manager marks it for the user.
inline bool demandsAttention(xcb_window_t window)
{
    xcb_connection_t* c = connection();
    const auto atom = [c](const char* name) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    };
    const xcb_atom_t wanted = atom("_NET_WM_STATE_DEMANDS_ATTENTION");
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 0, 32),
                               nullptr),
        &std::free);
    if (!reply)
        return false;
    const auto* states = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    for (int i = 0; i < xcb_get_property_value_length(reply.get()) / 4; ++i)
        if (states[i] == wanted)
            return true;
    return false;
}

namespace detail {

inline xcb_extension_t& xtest()
{
    static xcb_extension_t extension = {"XTEST", 0};
    return extension;
}

// XTEST's FakeInput: the X server takes it for the user's own key or button.
inline void fakeInput(std::uint8_t type, std::uint8_t detail, std::int16_t x = 0, std::int16_t y = 0)
{
    struct {
        std::uint8_t majorOpcode, minorOpcode;
        std::uint16_t length;
        std::uint8_t type, detail, pad0[2];
        std::uint32_t time;
        xcb_window_t root;
        std::uint8_t pad1[8];
        std::int16_t rootX, rootY;
        std::uint8_t pad2[7], deviceId;
    } request = {};
    static_assert(sizeof request == 36, "FakeInput is 36 bytes");
    request.type = type;
    request.detail = detail;
    request.root = x || y ? root() : XCB_NONE;
    request.rootX = x;
    request.rootY = y;
    static const xcb_protocol_request_t protocol = {2, &xtest(), 2, 1};
    struct iovec parts[4];
    parts[2].iov_base = &request;
    parts[2].iov_len = sizeof request;
    parts[3].iov_base = nullptr;
    parts[3].iov_len = 0;
    xcb_send_request(connection(), 0, parts + 2, &protocol);
}

inline xcb_keycode_t keycodeOf(xcb_keysym_t symbol)
{
    xcb_connection_t* c = connection();
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> map(
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, setup->min_keycode, std::uint8_t(count)),
                                       nullptr),
        &std::free);
    if (!map)
        return 0;
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(map.get());
    for (int key = 0; key < count; ++key)
        for (int column = 0; column < map->keysyms_per_keycode; ++column)
            if (symbols[key * map->keysyms_per_keycode + column] == symbol)
                return xcb_keycode_t(setup->min_keycode + key);
    return 0;
}

} // namespace detail

// Whether the X server offers XTEST.
inline bool canFakeInput()
{
    const xcb_query_extension_reply_t* reply = xcb_get_extension_data(connection(), &detail::xtest());
    return reply && reply->present;
}

// The key of `modifier` held while the key of `symbol` (X keysyms) is
// pressed and let go.
inline void pressWith(xcb_keysym_t modifier, xcb_keysym_t symbol)
{
    const xcb_keycode_t held = detail::keycodeOf(modifier);
    const xcb_keycode_t key = detail::keycodeOf(symbol);
    detail::fakeInput(XCB_KEY_PRESS, held);
    detail::fakeInput(XCB_KEY_PRESS, key);
    detail::fakeInput(XCB_KEY_RELEASE, key);
    detail::fakeInput(XCB_KEY_RELEASE, held);
    xcb_flush(connection());
}

// Ctrl and the key of `symbol` (an X keysym: 'o' for O) pressed and let go.
inline void pressCtrlAnd(xcb_keysym_t symbol) { pressWith(0xffe3 /* Control_L */, symbol); }

// Alt+F4, which the window manager takes for a close of the window that
// has the keyboard.
inline void pressAltF4() { pressWith(0xffe9 /* Alt_L */, 0xffc1 /* F4 */); }

// The left button clicked at (x, y) of the screen.
inline void clickAt(int x, int y)
{
    detail::fakeInput(XCB_MOTION_NOTIFY, 0, std::int16_t(x), std::int16_t(y));
    detail::fakeInput(XCB_BUTTON_PRESS, 1);
    detail::fakeInput(XCB_BUTTON_RELEASE, 1);
    xcb_flush(connection());
}

// The close button of the title bar the window manager framed `window`
// with, clicked: at the right end of the title bar (openbox's layout),
// which is as high as the frame's part above the window.
inline void clickTitleBarClose(xcb_window_t window)
{
    xcb_connection_t* c = connection();
    const xcb_window_t frame = topLevelOf(window);
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> outer(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, frame), nullptr), &std::free);
    std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&std::free)> inner(
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, frame, 0, 0), nullptr), &std::free);
    if (!outer || !inner || inner->dst_y <= 0)
        return;
    const int title = inner->dst_y;
    clickAt(outer->x + outer->width - title / 2 - 1, outer->y + title / 2);
}

// The window manager asked to close `window` as a task bar's Close asks
// it (_NET_CLOSE_WINDOW): the keyboard stays where it is.
inline void closeFromATaskBar(xcb_window_t window)
{
    xcb_connection_t* c = connection();
    static const char name[] = "_NET_CLOSE_WINDOW";
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr), &std::free);
    if (!atom)
        return;
    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom->atom;
    message.data.data32[0] = XCB_CURRENT_TIME;
    message.data.data32[1] = 2; // from a pager or task bar
    xcb_send_event(c, 0, root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);
}

// A window of another program: made over an X connection of its own, so
// that it is no window of the application's.
class OtherProgramWindow {
public:
    OtherProgramWindow(int x, int y) : c_(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(c_))
            return;
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        window_ = xcb_generate_id(c_);
        const std::uint32_t white = screen->white_pixel;
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, screen->root, std::int16_t(x), std::int16_t(y), 300, 200,
                          0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, &white);
        // Takes the keyboard when clicked (WM_HINTS' input).
        const std::uint32_t hints[9] = {1, 1, 0, 0, 0, 0, 0, 0, 0};
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9, hints);
        xcb_map_window(c_, window_);
        xcb_flush(c_);
    }
    ~OtherProgramWindow() { xcb_disconnect(c_); }
    OtherProgramWindow(const OtherProgramWindow&) = delete;
    OtherProgramWindow& operator=(const OtherProgramWindow&) = delete;

    xcb_window_t id() const { return window_; }

    // Clicked where the window manager put it: the user goes there.
    void click() const
    {
        xcb_connection_t* c = connection();
        std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&std::free)> at(
            xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window_, root(), 150, 100), nullptr),
            &std::free);
        if (at)
            clickAt(at->dst_x, at->dst_y);
    }

private:
    xcb_connection_t* c_;
    xcb_window_t window_ = XCB_WINDOW_NONE;
};

} // namespace xdesktop
