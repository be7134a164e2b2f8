#include "mvvm/KeyboardElsewhere.h"

#include "mvvm/CloseRequest.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QWindow>
#include <QTimer>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include <xcb/xcb.h>

namespace Mvvm {

namespace {

template <class Reply>
using Owned = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_connection_t* connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The window manager's check window, where it names one: some managers
// give it the keyboard when no window has it.
xcb_window_t windowManagersOwn(xcb_connection_t* c, xcb_window_t root)
{
    static const char name[] = "_NET_SUPPORTING_WM_CHECK";
    Owned<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof name - 1, name), nullptr),
                                        &std::free);
    if (!atom || !atom->atom)
        return XCB_WINDOW_NONE;
    Owned<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr),
        &std::free);
    if (!reply || xcb_get_property_value_length(reply.get()) < 4)
        return XCB_WINDOW_NONE;
    return *static_cast<xcb_window_t*>(xcb_get_property_value(reply.get()));
}

// Whether `window` is `ancestor` or lies inside it.
bool within(xcb_connection_t* c, xcb_window_t window, xcb_window_t ancestor)
{
    for (int depth = 0; depth < 16 && window != XCB_WINDOW_NONE; ++depth) {
        if (window == ancestor)
            return true;
        Owned<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr), &std::free);
        if (!tree || tree->parent == tree->root)
            return false;
        window = tree->parent;
    }
    return false;
}

// While it stands, the window system's request to close one of the
// program's windows ends `wait`: the user acts on the program (its title
// bar's close, a task bar's Close), and the box waited for shows. The
// request is dropped, as Qt drops it for a window a modal one blocks:
// handed on, it would reach the window once the wait has let it go.
class ClosesEndTheWait : public QAbstractNativeEventFilter {
public:
    explicit ClosesEndTheWait(QDialog& wait) : wait_(wait)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~ClosesEndTheWait() override { QCoreApplication::instance()->removeNativeEventFilter(this); }
    ClosesEndTheWait(const ClosesEndTheWait&) = delete;
    ClosesEndTheWait& operator=(const ClosesEndTheWait&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (!closeRequestIn(eventType, message))
            return false;
        QMetaObject::invokeMethod(&wait_, &QDialog::accept, Qt::QueuedConnection);
        return true;
    }

private:
    QDialog& wait_;
};

} // namespace

bool keyboardInAnotherProgram(std::uint32_t alsoOurs)
{
    xcb_connection_t* c = connection();
    if (!c)
        return false;
    Owned<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr),
                                             &std::free);
    const xcb_setup_t* setup = xcb_get_setup(c);
    const xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;
    if (!focus || focus->focus == XCB_WINDOW_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT ||
        focus->focus == root || focus->focus == windowManagersOwn(c, root))
        return false;
    // Every window this process made carries its connection's id base.
    if ((focus->focus & ~setup->resource_id_mask) == setup->resource_id_base)
        return false;
    return !alsoOurs || !within(c, focus->focus, alsoOurs);
}

int execLeavingTheKeyboard(QDialog& dialog, std::uint32_t alsoOurs)
{
    if (!keyboardInAnotherProgram(alsoOurs))
        return dialog.exec();
    dialog.setAttribute(Qt::WA_ShowWithoutActivating);
    dialog.winId();
    // How the attribute reaches a native window already made.
    dialog.windowHandle()->setProperty("_q_showWithoutActivating", true);
    dialog.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    dialog.show();
    QApplication::alert(&dialog, 0);
    loop.exec(QEventLoop::DialogExec);
    return dialog.result();
}

void waitForTheUserIfElsewhere(QWidget* window, std::uint32_t alsoOurs)
{
    if (!keyboardInAnotherProgram(alsoOurs))
        return;
    // A modal stand-in that never shows: Qt makes no window of it to
    // activate.
    QDialog away(window);
    away.setAttribute(Qt::WA_DontShowOnScreen);
    away.setModal(true);
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &away, [&away, alsoOurs] {
        if (!keyboardInAnotherProgram(alsoOurs))
            away.accept();
    });
    look.start(100);
    const ClosesEndTheWait closes(away);
    QTimer::singleShot(0, &away, [window] { QApplication::alert(window, 0); });
    away.exec();
}

} // namespace Mvvm
