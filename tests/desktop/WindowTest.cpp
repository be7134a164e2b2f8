#include "DesktopTesting.h"

#include "desktop/QTopLevelWindow.h"
#include "desktop/QWindowItem.h"

#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QQuickWidget>
#include <QScreen>

#include <climits>
#include <limits>

#include <gtest/gtest.h>

using Desktop::QTopLevelWindow;
using Desktop::QWindowItem;

namespace {

class Windows : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registerDesktopTypesOnce(); }

    std::unique_ptr<QObject> make(const QByteArray& body)
    {
        QString errors;
        auto root = qmltest::create(engine, "import QtQuick 2.15\nimport Desktop 0.1\n" + body, &errors);
        EXPECT_TRUE(root) << qPrintable(errors);
        return root;
    }

    QQmlEngine engine;
};

} // namespace

// Heights include what the window's menu bar takes, plus one pixel.
TEST_F(Windows, HeightMakesRoomForTheMenuBar)
{
    const auto plain = make("Window { height: 300 }");
    auto* bare = qobject_cast<QWindowItem*>(plain.get());
    ASSERT_TRUE(bare);
    EXPECT_EQ(300, bare->topLevelWindow()->height());
    EXPECT_EQ(300, bare->height());

    const auto withMenu = make("Window { MenuBar { Menu { text: \"File\" } } }");
    auto* window = qobject_cast<QWindowItem*>(withMenu.get());
    ASSERT_TRUE(window);
    const int allowance = window->topLevelWindow()->menuBar()->sizeHint().height() + 1;
    ASSERT_GT(allowance, 1);
    EXPECT_EQ(allowance, window->menuAllowance());
    window->setHeight(300);
    EXPECT_EQ(300 + allowance, window->topLevelWindow()->height());
    EXPECT_EQ(300 + allowance, window->height());
    window->setMinimumHeight(100);
    EXPECT_EQ(100 + allowance, window->topLevelWindow()->minimumHeight());
    window->setWidth(420);
    EXPECT_EQ(420, window->topLevelWindow()->width());
}

// x and y move the window; a coordinate never written counts as 0, and
// reading gives where the window really is.
TEST_F(Windows, PositionWritesUseTheStoredOtherCoordinate)
{
    const auto root = make("Window {}");
    auto* window = qobject_cast<QWindowItem*>(root.get());
    ASSERT_TRUE(window);
    window->topLevelWindow()->move(300, 200);
    window->setX(100);
    EXPECT_EQ(QPoint(100, 0), window->topLevelWindow()->pos());
    EXPECT_EQ(0, window->y());
    EXPECT_TRUE(window->topLevelWindow()->positioned());
    EXPECT_FALSE(window->property("close").toBool());
}

TEST_F(Windows, DeclaredVisibleShowsOnceFromTheEventLoop)
{
    const auto root = make("Window { width: 200; height: 100; visible: true; title: \"Tools\"\n"
                           "  Rectangle { objectName: \"content\"; anchors.fill: parent } }");
    auto* window = qobject_cast<QWindowItem*>(root.get());
    ASSERT_TRUE(window);
    QTopLevelWindow* native = window->topLevelWindow();
    int shows = 0;
    QObject::connect(native, &QTopLevelWindow::visibilityChanged, [&] { shows += native->isVisible(); });
    EXPECT_FALSE(native->isVisible()); // not before the event loop runs
    ASSERT_TRUE(qmltest::waitFor([&] { return native->isVisible(); })) << "the window never showed";
    QCoreApplication::processEvents();
    EXPECT_EQ(1, shows);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ("Tools", native->windowTitle());
    // The declared items are shown in the window's own view, at its size.
    auto* content = root->findChild<QQuickItem*>("content");
    ASSERT_TRUE(content);
    EXPECT_EQ(native->view()->quickWindow(), content->window());
    EXPECT_EQ(native->view()->width(), content->width());

    window->setVisible(false);
    EXPECT_FALSE(native->isVisible());
}

// A window inside another is its child: centred on it at completion, hidden
// with it, and not deleted on close.
TEST_F(Windows, InnerWindowIsCentredOnItsParentAndHiddenWithIt)
{
    const auto root = make("Window { width: 400; height: 300; visible: true\n"
                           "  Window { objectName: \"inner\"; width: 100; height: 50; visible: true } }");
    auto* outer = qobject_cast<QWindowItem*>(root.get());
    auto* inner = root->findChild<QWindowItem*>("inner");
    ASSERT_TRUE(outer && inner);
    QTopLevelWindow* parent = outer->topLevelWindow();
    QTopLevelWindow* child = inner->topLevelWindow();
    EXPECT_EQ(parent, child->parentWidget());
    EXPECT_FALSE(child->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_EQ(parent->geometry().center(), child->geometry().center());
    EXPECT_EQ(QGuiApplication::primaryScreen()->geometry().center(), parent->geometry().center());

    // Each shows from a timer of its own: on a loaded machine the child's
    // may come while the parent's is still queued, and would then show the
    // parent after a hide.
    ASSERT_TRUE(qmltest::waitFor([&] { return child->isVisible() && parent->isVisible(); }))
        << "the windows never showed";
    parent->hide();
    EXPECT_FALSE(child->isVisible()) << "the child stayed shown";
}

TEST_F(Windows, PlacedWindowIsNotCentred)
{
    const auto root = make("Window { x: 10; y: 20; width: 100; height: 100 }");
    auto* window = qobject_cast<QWindowItem*>(root.get());
    ASSERT_TRUE(window);
    EXPECT_EQ(QPoint(10, 20), window->topLevelWindow()->pos());
}

// A window without parent deletes itself on close; its item outlives it
// and stays usable.
TEST_F(Windows, ItemOutlivesAClosedWindow)
{
    const auto root = make("Window { width: 100; height: 100; visible: true }");
    auto* window = qobject_cast<QWindowItem*>(root.get());
    ASSERT_TRUE(window);
    ASSERT_TRUE(qmltest::waitFor([&] { return window->topLevelWindow()->isVisible(); }))
        << "the top-level window never showed";
    QPointer<QTopLevelWindow> native = window->topLevelWindow();
    window->setProperty("close", true);
    ASSERT_TRUE(qmltest::waitFor([&] { return native.isNull(); })) << "the closed window was never deleted";
    EXPECT_EQ(nullptr, window->topLevelWindow());
    window->setTitle("gone");
    window->setModal(true);
    window->setX(5);
    window->setVisible(true);
    EXPECT_EQ("", window->title());
    EXPECT_FALSE(window->modal());
}

TEST_F(Windows, ModalAndDecorationKeepAShownWindowShown)
{
    const auto root = make("Window { width: 100; height: 100; visible: true }");
    auto* window = qobject_cast<QWindowItem*>(root.get());
    ASSERT_TRUE(window);
    QTopLevelWindow* native = window->topLevelWindow();
    ASSERT_TRUE(qmltest::waitFor([&] { return native->isVisible(); })) << "the window never showed";
    window->setWindowDecoration(false);
    EXPECT_TRUE(native->isVisible());
    EXPECT_TRUE(native->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(window->windowDecoration());
    window->setModal(true);
    EXPECT_TRUE(native->isVisible());
    EXPECT_EQ(Qt::WindowModal, native->windowModality());
    EXPECT_TRUE(native->windowFlags() & Qt::WindowStaysOnTopHint);
}

// Sizes and points from a document stay within what a widget can take.
TEST_F(Windows, OutlandishGeometryIsKeptWithinWidgetLimits)
{
    const auto root = make("Window { MenuBar { Menu { text: \"File\" } } }");
    auto* window = qobject_cast<QWindowItem*>(root.get());
    ASSERT_TRUE(window);
    window->setHeight(1e20);
    EXPECT_EQ(QWIDGETSIZE_MAX, window->topLevelWindow()->height());
    window->setMinimumHeight(INT_MAX);
    EXPECT_LE(window->topLevelWindow()->minimumHeight(), QWIDGETSIZE_MAX);
    window->setX(std::numeric_limits<qreal>::quiet_NaN());
    window->moveWindow(INT_MAX, INT_MIN, INT_MIN, INT_MAX);
    EXPECT_LE(std::abs(window->topLevelWindow()->x()), QWIDGETSIZE_MAX);
}
