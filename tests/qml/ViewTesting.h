#pragma once
// Helpers of the views' tests: photos made in the test, the hosted window's
// actions and QML items by name, key presses and file drops delivered as
// the window system would, and screenshots kept in the build tree.

#include "StandInViewModels.h"

#include "support-qt/QmlTesting.h"
#include "mvvm/Dialog.h"
#include "mvvm/HostedWindows.h"
#include "support/TestFiles.h"
#include "support/TestJpeg.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QQuickItem>
#include <QQuickWidget>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>

namespace viewtest {

// A JPEG photo of the given size with broad colour waves, in `folder`.
inline QString makePhoto(const kestrel::test::TempDir& folder, const std::string& name, int width = 640,
                         int height = 480)
{
    kestrel::test::jpeg_options options;
    options.width = width;
    options.height = height;
    const std::string path = folder.file(name);
    kestrel::test::write_file(
        path, kestrel::test::make_jpeg(options, kestrel::test::photo_like_painter(width, height, false)));
    return QString::fromStdString(path);
}

// The window's command with exactly this text (tool bar or menu entry, not
// a menu's title), or null.
inline QAction* actionNamed(QWidget* window, const QString& text)
{
    for (QAction* action : window->findChildren<QAction*>())
        if (action->text() == text && !action->menu<QMenu*>())
            return action;
    return nullptr;
}

inline QQuickWidget* quickOf(QWidget* window)
{
    return window->findChild<QQuickWidget*>();
}

inline QQuickItem* itemNamed(QWidget* window, const char* name)
{
    QQuickWidget* quick = quickOf(window);
    return quick && quick->rootObject() ? quick->rootObject()->findChild<QQuickItem*>(QLatin1String(name))
                                        : nullptr;
}

// Every item of that object name in the visual tree under `item`, in
// painting order (delegates included).
inline QList<QQuickItem*> itemsNamed(QQuickItem* item, const QString& name)
{
    QList<QQuickItem*> found;
    for (QQuickItem* child : item->childItems()) {
        if (child->objectName() == name)
            found << child;
        found << itemsNamed(child, name);
    }
    return found;
}

// Whether the view accepted the key.
inline bool pressKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    // A window that changed its state (full screen) may have lost the focus.
    QApplication::setActiveWindow(window);
    quickOf(window)->setFocus(Qt::OtherFocusReason);
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(quickOf(window), &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(quickOf(window), &release);
    return press.isAccepted();
}

// A mouse event at `at` (view coordinates) as the window system sends it.
inline void mouseEvent(QWidget* window, QEvent::Type type, QPointF at, Qt::MouseButton button,
                       Qt::MouseButtons buttons)
{
    QQuickWidget* quick = quickOf(window);
    QMouseEvent event(type, at, at, QPointF(quick->mapToGlobal(at.toPoint())), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(quick, &event);
}

// Presses the left button at `from`, moves in small steps to `to`, releases.
inline void dragMouse(QWidget* window, QPointF from, QPointF to)
{
    mouseEvent(window, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (int step = 1; step <= 10; ++step)
        mouseEvent(window, QEvent::MouseMove, from + (to - from) * step / 10.0, Qt::NoButton, Qt::LeftButton);
    mouseEvent(window, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

inline QPointF centreOf(QQuickItem* item)
{
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
}

// Drags local files onto the view at `at` (view coordinates) and drops them.
inline bool dropFiles(QWidget* window, const QStringList& paths, QPoint at)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    QQuickWidget* quick = quickOf(window);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(quick, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(quick, &move);
    if (!move.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(quick, &drop);
    QCoreApplication::processEvents();
    return true;
}

// Shows `view` as a modal dialog over `viewModel`, runs `act` on the dialog
// once it shows, closes it if `act` left it open, and gives its result.
inline int runModal(const QString& view, QObject* viewModel, const std::function<void(QWidget*)>& act)
{
    Mvvm::Dialog host;
    whenModalShows([&](QWidget* modal) {
        act(modal);
        if (modal->isVisible())
            modal->close();
    });
    return host.showDialog(view, viewModel);
}

// Lets animations and bindings settle for `ms` milliseconds.
inline void settle(int ms)
{
    qmltest::waitFor([] { return false; }, ms);
}

// Grabs the window, tool bar and menus included, into the build tree.
inline void keepScreenshot(QWidget* window, const QString& name)
{
    settle(400);
    const QDir folder(QStringLiteral(LUMIVISTA_SCREENSHOT_DIR));
    folder.mkpath(QStringLiteral("."));
    const QImage shot = window->grab().toImage();
    EXPECT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(folder.filePath(name + QStringLiteral(".png"))));
}

} // namespace viewtest
