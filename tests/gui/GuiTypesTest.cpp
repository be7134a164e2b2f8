#include "gui/GuiDesktopTypes.h"
#include "support-qt/QmlTesting.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QScreen>

#include <gtest/gtest.h>

namespace {

class GuiTypes : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        qmltest::useSoftwareQuick();
        Gui::registerGuiDesktopTypes();
    }
    QQmlEngine engine;
};

struct Declaration {
    const char* imports;
    const char* body;
};

void PrintTo(const Declaration& d, std::ostream* out) { *out << d.body; }

class CreatableTypes : public GuiTypes, public ::testing::WithParamInterface<Declaration> {};

} // namespace

TEST_F(GuiTypes, RegistersOncePerProcess)
{
    Gui::GuiDesktopTypes another;
    EXPECT_FALSE(Gui::registerGuiDesktopTypes());
    Gui::releaseGuiDesktopTypes();
}

// Every type that QML may create comes up from a document, and so does
// every component of the widget set's QML directory.
TEST_P(CreatableTypes, InstantiateFromQml)
{
    const QByteArray document = QByteArray("import QtQuick 2.15\n") + GetParam().imports + "\n" +
                                GetParam().body + "\n";
    QString errors;
    const std::unique_ptr<QObject> object = qmltest::create(engine, document, &errors);
    ASSERT_TRUE(object) << qPrintable(errors);
}

INSTANTIATE_TEST_SUITE_P(
    NativeAndQml, CreatableTypes,
    ::testing::Values(
        Declaration{"import Gui 1.0", "DropArea {}"},
        Declaration{"import Gui 1.0", "CursorShapeArea {}"},
        Declaration{"import Desktop 0.1", "StyleItem { elementType: \"button\" }"},
        Declaration{"import Desktop 0.1", "CursorArea {}"},
        Declaration{"import Desktop 0.1", "TooltipArea {}"},
        Declaration{"import Desktop 0.1", "RangeModel {}"},
        Declaration{"import Desktop 0.1", "WheelArea {}"},
        Declaration{"import Desktop 0.1", "Menu { MenuItem {} Separator {} }"},
        Declaration{"import Desktop 0.1", "MenuBar {}"},
        Declaration{"import Desktop 0.1", "MenuItem {}"},
        Declaration{"import Desktop 0.1", "Separator {}"},
        Declaration{"import Desktop 0.1", "FileSystemModel {}"},
        Declaration{"import Desktop 0.1", "Splitter {}"},
        Declaration{"import Desktop 0.1", "Settings {}"},
        Declaration{"import Desktop 0.1", "Window {}"},
        Declaration{"import Desktop 0.1", "RowLayout {}"},
        Declaration{"import Desktop 0.1", "ColumnLayout {}"},
        Declaration{"import \"qrc:/gui/qml/desktop\"", "ApplicationWindow {}"},
        Declaration{"import \"qrc:/gui/qml/desktop\"", "Button { text: \"OK\"; tooltip: \"Go\" }"},
        Declaration{"import \"qrc:/gui/qml/desktop\"", "ToolButton { iconSource: \":/none\" }"},
        Declaration{"import \"qrc:/gui/qml/desktop\"", "CheckBox { checked: true }"},
        Declaration{"import \"qrc:/gui/qml/desktop\"",
                    "ComboBox { selectedIndex: 1; MenuItem { text: \"a\" } MenuItem { text: \"b\" } }"},
        Declaration{"import \"qrc:/gui/qml/desktop\"", "ContextMenu { MenuItem { text: \"a\" } }"},
        Declaration{"import \"qrc:/gui/qml/desktop\"", "Dialog {}"},
        Declaration{"import \"qrc:/gui/qml/desktop\"", "ProgressBar { value: 50 }"},
        Declaration{"import \"qrc:/gui/qml/desktop\"", "ScrollArea { Item { width: 500; height: 500 } }"},
        Declaration{"import \"qrc:/gui/qml/desktop\"", "ScrollBar { maximumValue: 10 }"},
        Declaration{"import \"qrc:/gui/qml/desktop\"",
                    "Slider { minimumValue: 1; maximumValue: 10; stepSize: 0.5; value: 6 }"},
        Declaration{"import \"qrc:/gui/qml/desktop\"",
                    "SpinBox { maximumValue: 10; value: 3 }"},
        Declaration{"import \"qrc:/gui/qml/desktop\"",
                    "TextField { validator: IntValidator { bottom: 0 } }"}),
    [](const ::testing::TestParamInfo<Declaration>& info) {
        // The type's name, marked when it is a QML component.
        const std::string body = info.param.body;
        const std::string name = body.substr(0, body.find(' '));
        return std::string(info.param.imports).find("qrc:") == std::string::npos ? name
                                                                                 : "Qml" + name;
    });

// The types QML may not create refuse with their own words.
TEST_F(GuiTypes, UncreatableTypesFailWithTheirMessages)
{
    const struct {
        const char* body;
        const char* message;
    } cases[] = {
        {"NativeMenuBase {}", "Do not create objects of type NativeMenuBase"},
        {"Layout {}", "Do not create objects of type Layout"},
        {"Desktop {}", "Do not create objects of type Desktop"},
    };
    for (const auto& uncreatable : cases) {
        QString errors;
        const auto object = qmltest::create(
            engine, QByteArray("import Desktop 0.1\n") + uncreatable.body + "\n", &errors);
        EXPECT_FALSE(object);
        EXPECT_EQ(QString::fromLatin1(uncreatable.message), errors) << uncreatable.body;
    }
}

// The attached types answer through their type names.
TEST_F(GuiTypes, AttachedTypesAnswerThroughTheirNames)
{
    QString errors;
    const auto object = qmltest::create(engine,
                                        "import QtQuick 2.15\n"
                                        "import Desktop 0.1\n"
                                        "Item {\n"
                                        "  property int screen: Desktop.screenWidth\n"
                                        "  property real limit\n"
                                        "  property real share: child.Splitter.percentageSize\n"
                                        "  Item { id: child; Layout.minimumWidth: 5 }\n"
                                        "  Component.onCompleted: limit = child.Layout.maximumWidth\n"
                                        "}\n",
                                        &errors);
    ASSERT_TRUE(object) << qPrintable(errors);
    EXPECT_EQ(QGuiApplication::primaryScreen()->geometry().width(),
              object->property("screen").toInt());
    EXPECT_EQ(1e9, object->property("limit").toReal());
    EXPECT_EQ(-1, object->property("share").toReal());
}
