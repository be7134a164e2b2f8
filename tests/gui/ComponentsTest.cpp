#include "desktop/QtMenuItem.h"
#include "gui/GuiDesktopTypes.h"
#include "support-qt/QmlTesting.h"

#include <QAction>
#include <QMouseEvent>
#include <QQuickItem>
#include <QQuickView>
#include <QWheelEvent>

#include <gtest/gtest.h>

using Desktop::QtMenuItem;

namespace {

// One document of the widget set's components, shown in a window and
// driven with real mouse and wheel events.
class Components : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        qmltest::useSoftwareQuick();
        Gui::registerGuiDesktopTypes();
    }

    QQuickItem* show(const QByteArray& body)
    {
        QString errors;
        auto root = qmltest::create(*view.engine(),
                                    "import QtQuick 2.15\n"
                                    "import \"qrc:/gui/qml/desktop\" as Desktop\n"
                                    "Item { width: 400; height: 300\n" + body + "\n}\n",
                                    &errors);
        auto* item = qobject_cast<QQuickItem*>(root.release());
        EXPECT_TRUE(item) << qPrintable(errors);
        if (!item)
            return nullptr;
        view.setContent(QUrl(), nullptr, item);
        view.show();
        QCoreApplication::processEvents();
        return item;
    }

    QQuickItem* find(const char* name) { return view.rootObject()->findChild<QQuickItem*>(name); }

    void mouse(QEvent::Type type, QPointF at, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, at, view.mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &event);
    }
    void press(QPointF at) { mouse(QEvent::MouseButtonPress, at, Qt::LeftButton); }
    void move(QPointF at) { mouse(QEvent::MouseMove, at, Qt::LeftButton); }
    void release(QPointF at) { mouse(QEvent::MouseButtonRelease, at, Qt::NoButton); }
    void click(QPointF at)
    {
        press(at);
        release(at);
    }

    QQuickView view;
};

} // namespace

TEST_F(Components, ButtonClicksAndChecks)
{
    show("property int clicks: 0\n"
         "Desktop.Button { objectName: \"button\"; x: 10; y: 10; text: \"Go\"; checkable: true\n"
         "  onClicked: parent.clicks++ }");
    QQuickItem* button = find("button");
    ASSERT_TRUE(button);
    const QPointF middle = button->mapToScene(QPointF(button->width() / 2, button->height() / 2));
    press(middle);
    EXPECT_TRUE(button->property("pressed").toBool());
    release(middle);
    EXPECT_FALSE(button->property("pressed").toBool());
    EXPECT_EQ(1, view.rootObject()->property("clicks").toInt());
    EXPECT_TRUE(button->property("checked").toBool());
}

// Dragging moves the value in steps and reports `pressed` meanwhile; a
// value written from outside moves the handle without breaking bindings.
TEST_F(Components, SliderDragsInStepsWithinItsRange)
{
    show("property real source: 2\n"
         "Desktop.Slider { objectName: \"slider\"; x: 0; y: 10; width: 210\n"
         "  minimumValue: 1; maximumValue: 10; stepSize: 0.5; value: parent.source }");
    QQuickItem* slider = find("slider");
    ASSERT_TRUE(slider);
    EXPECT_EQ(2, slider->property("value").toReal());
    const qreal y = slider->y() + slider->height() / 2;
    press(QPointF(200, y));
    EXPECT_TRUE(slider->property("pressed").toBool());
    move(QPointF(400, y)); // beyond the end
    EXPECT_EQ(10, slider->property("value").toReal());
    move(QPointF(2, y)); // before the start, less the handle's half
    EXPECT_EQ(1, slider->property("value").toReal());
    move(QPointF(100, y));
    release(QPointF(100, y));
    EXPECT_FALSE(slider->property("pressed").toBool());
    const qreal value = slider->property("value").toReal();
    EXPECT_EQ(value, std::round(value * 2) / 2); // on a step

    view.rootObject()->setProperty("source", 6.2);
    EXPECT_EQ(6, slider->property("value").toReal());
}

TEST_F(Components, ComboBoxSelectsAndTriggersTheChosenEntry)
{
    show("property int triggered: -1\n"
         "Desktop.ComboBox { id: combo; objectName: \"combo\"; selectedIndex: 1\n"
         "  Desktop.MenuItem { text: \"  16 : 9\"; onTriggered: combo.parent.triggered = 0 }\n"
         "  Desktop.MenuItem { text: \"  4 : 3\"; onTriggered: combo.parent.triggered = 1 } }");
    QQuickItem* combo = find("combo");
    ASSERT_TRUE(combo);
    EXPECT_EQ("  4 : 3", combo->property("selectedText").toString());
    EXPECT_EQ(2, combo->property("count").toInt());
    QtMenuItem* first = nullptr;
    for (QtMenuItem* entry : combo->findChildren<QtMenuItem*>())
        if (entry->text() == "  16 : 9")
            first = entry;
    ASSERT_TRUE(first);
    first->action()->trigger(); // as when the entry is chosen in the popup
    EXPECT_EQ(0, combo->property("selectedIndex").toInt());
    EXPECT_EQ("  16 : 9", combo->property("selectedText").toString());
    EXPECT_EQ(0, view.rootObject()->property("triggered").toInt());
}

// Content taller than the area brings the vertical scroll bar; the wheel
// scrolls scrollSpeed times eight pixels a notch, within the content.
TEST_F(Components, ScrollAreaScrollsItsContentWithTheWheel)
{
    show("Desktop.ScrollArea { objectName: \"area\"; width: 200; height: 150; scrollSpeed: 9\n"
         "  Item { width: 100; height: 500 } }");
    QQuickItem* area = find("area");
    ASSERT_TRUE(area);
    auto* vertical = area->property("verticalScrollBar").value<QQuickItem*>();
    auto* horizontal = area->property("horizontalScrollBar").value<QQuickItem*>();
    ASSERT_TRUE(vertical && horizontal);
    EXPECT_TRUE(vertical->isVisible());
    EXPECT_FALSE(horizontal->isVisible());
    const qreal viewport = area->property("viewportHeight").toReal();
    EXPECT_EQ(500 - viewport, vertical->property("maximumValue").toReal());

    QWheelEvent wheel(QPointF(50, 50), view.mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&view, &wheel);
    EXPECT_EQ(72, area->property("contentY").toReal());
    for (int notch = 0; notch < 10; ++notch) {
        QWheelEvent again(QPointF(50, 50), view.mapToGlobal(QPointF(50, 50)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&view, &again);
    }
    EXPECT_EQ(500 - viewport, area->property("contentY").toReal());
}

TEST_F(Components, TextFieldKeepsToItsValidator)
{
    show("Desktop.TextField { objectName: \"field\"; text: \"0.5\"\n"
         "  validator: DoubleValidator { bottom: 0.1; top: 20.0; decimals: 1;"
         "    notation: DoubleValidator.StandardNotation } }");
    QQuickItem* field = find("field");
    ASSERT_TRUE(field);
    EXPECT_TRUE(field->property("acceptableInput").toBool());
    field->setProperty("text", "50");
    EXPECT_FALSE(field->property("acceptableInput").toBool());
    EXPECT_GT(field->implicitHeight(), 0);
}
