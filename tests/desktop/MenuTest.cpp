#include "DesktopTesting.h"

#include "desktop/QWindowItem.h"
#include "desktop/QtMenu.h"
#include "desktop/QtMenuBar.h"
#include "desktop/QtMenuItem.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>

using Desktop::QWindowItem;
using Desktop::QtMenu;
using Desktop::QtMenuBar;
using Desktop::QtMenuBase;
using Desktop::QtMenuItem;

namespace {

class Menus : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registerDesktopTypesOnce(); }

    // A menu of three entries added by text, its announcements recorded.
    void fill(QtMenu& menu)
    {
        log.record(&menu, &QtMenu::selectedIndexChanged, "selected");
        log.record(&menu, &QtMenu::hoveredIndexChanged, "hovered");
        log.record(&menu, &QtMenu::menuClosed, "closed");
        for (const char* text : {"One", "Two", "Three"})
            menu.addMenuItem(text);
    }

    qmltest::SignalLog log;
    QQmlEngine engine;
};

} // namespace

TEST_F(Menus, EntriesAddedByTextReportTheOneChosen)
{
    QtMenu menu;
    fill(menu);
    // Only the first entry makes the stored index 0 name something.
    EXPECT_EQ(QStringList({"selected()"}), log.entries());
    EXPECT_EQ(0, menu.selectedIndex());
    EXPECT_EQ("Two", menu.itemTextAt(1));
    EXPECT_EQ("", menu.itemTextAt(-1));
    EXPECT_EQ("", menu.itemTextAt(3));

    log.clear();
    menu.menu()->actions().at(2)->trigger();
    EXPECT_EQ(2, menu.selectedIndex());
    EXPECT_EQ(QStringList({"selected()"}), log.entries());
    menu.menu()->actions().at(1)->hover();
    EXPECT_EQ(1, menu.hoveredIndex());

    menu.clearMenuItems();
    EXPECT_TRUE(menu.menu()->actions().isEmpty());
    QQmlListProperty<QtMenuBase> items = menu.menuItems();
    EXPECT_EQ(0, items.count(&items));
}

// The popup opens at a point of the window under the mouse cursor, with
// the coordinates truncated, once; a choice closes it.
TEST_F(Menus, PopupOpensAtTheTruncatedPointOfTheWindowUnderTheCursor)
{
    QWidget window;
    window.setGeometry(100, 80, 300, 200);
    window.show();
    QCursor::setPos(window.mapToGlobal(QPoint(150, 100)));
    ASSERT_EQ(&window, QApplication::widgetAt(QCursor::pos()));

    QtMenu menu;
    fill(menu);
    menu.setSelectedIndex(1);
    log.clear();
    menu.showPopup(10.9, 5.9);
    ASSERT_TRUE(menu.menu()->isVisible());
    EXPECT_EQ(window.mapToGlobal(QPoint(10, 5)), menu.menu()->pos());
    EXPECT_EQ(1, menu.hoveredIndex());
    EXPECT_TRUE(log.entries().contains("hovered()"));
    EXPECT_FALSE(log.entries().contains("selected()"));

    menu.showPopup(std::nan(""), 1e300); // already open: nothing
    EXPECT_EQ(window.mapToGlobal(QPoint(10, 5)), menu.menu()->pos());

    log.clear();
    menu.menu()->actions().at(2)->trigger();
    menu.hidePopup();
    EXPECT_EQ(QStringList({"selected()", "closed()"}), log.entries());
    EXPECT_EQ(2, menu.selectedIndex());
}

TEST_F(Menus, DeclaredEntriesJoinTheMenuInOrder)
{
    QString errors;
    const auto root = qmltest::create(engine,
                                      "import Desktop 0.1\n"
                                      "Menu { text: \"File\"\n"
                                      "  MenuItem { text: \"Open\"; shortcut: \"Ctrl+O\" }\n"
                                      "  Separator {}\n"
                                      "  Menu { text: \"Recent\" }\n"
                                      "  MenuItem { text: \"Quit\"; enabled: false } }",
                                      &errors);
    auto* menu = qobject_cast<QtMenu*>(root.get());
    ASSERT_TRUE(menu) << qPrintable(errors);
    const QList<QAction*> actions = menu->menu()->actions();
    ASSERT_EQ(4, actions.size());
    EXPECT_EQ("Open", actions[0]->text());
    EXPECT_EQ(QKeySequence("Ctrl+O"), actions[0]->shortcut());
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ("Recent", actions[2]->menu()->title());
    EXPECT_FALSE(actions[3]->isEnabled());
    for (QObject* entry : menu->findChildren<QtMenuBase*>(QString(), Qt::FindDirectChildrenOnly))
        EXPECT_EQ(menu, entry->parent());
}

// A menu bar inside a window fills the window's menu bar, and keeps
// filling it when moved under an item that is no window.
TEST_F(Menus, MenuBarFillsItsWindowsMenuBar)
{
    QString errors;
    const auto root = qmltest::create(engine,
                                      "import QtQuick 2.15\n"
                                      "import Desktop 0.1\n"
                                      "Item {\n"
                                      "  Item { objectName: \"elsewhere\" }\n"
                                      "  Window { objectName: \"window\"\n"
                                      "    MenuBar { objectName: \"bar\"\n"
                                      "      Menu { text: \"File\" } Menu { text: \"Edit\" } } } }",
                                      &errors);
    ASSERT_TRUE(root) << qPrintable(errors);
    auto* window = root->findChild<QWindowItem*>("window");
    auto* bar = root->findChild<QtMenuBar*>("bar");
    ASSERT_TRUE(window && bar);
    QMenuBar* target = window->topLevelWindow()->menuBar();
    EXPECT_EQ(target, bar->targetMenuBar());
    ASSERT_EQ(2, target->actions().size());
    EXPECT_EQ("Edit", target->actions()[1]->text());

    bar->setParentItem(root->findChild<QQuickItem*>("elsewhere"));
    EXPECT_EQ(target, bar->targetMenuBar());
    EXPECT_EQ(2, target->actions().size());
}
