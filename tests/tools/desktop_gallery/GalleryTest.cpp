#include "DesktopGallery.h"

#include "gui/GuiDesktopTypes.h"
#include "support-qt/QmlTesting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class DesktopGallery : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        qmltest::useSoftwareQuick();
        Gui::registerGuiDesktopTypes();
        gallery = new Gui::Gallery(Gui::renderDesktopGallery());
    }
    static void TearDownTestSuite()
    {
        delete gallery;
        gallery = nullptr;
    }

    static QList<Gui::GalleryCell> cellsOf(const QString& control)
    {
        QList<Gui::GalleryCell> cells;
        for (const Gui::GalleryCell& cell : gallery->cells)
            if (cell.control == control)
                cells.append(cell);
        return cells;
    }

    // Colours seen inside a rectangle of the gallery.
    static int colourCount(const QRect& area)
    {
        QSet<QRgb> colours;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                colours.insert(gallery->image.pixel(x, y));
        return colours.size();
    }

    static Gui::Gallery* gallery;
};

Gui::Gallery* DesktopGallery::gallery = nullptr;

} // namespace

TEST_F(DesktopGallery, DrawsEveryControlInEveryStateItHas)
{
    ASSERT_TRUE(gallery->errors.isEmpty()) << qPrintable(gallery->errors.join('\n'));
    ASSERT_FALSE(gallery->image.isNull());
    EXPECT_EQ(5, cellsOf("Button").size());
    EXPECT_EQ(5, cellsOf("CheckBox").size());
    EXPECT_EQ(4, cellsOf("Slider").size());
    EXPECT_EQ(3, cellsOf("ScrollArea").size());
    EXPECT_EQ(2, cellsOf("ProgressBar").size());
    EXPECT_EQ(38, gallery->cells.size());
    for (const Gui::GalleryCell& cell : gallery->cells) {
        // A drawn control has frames, text or shading, not one flat colour.
        EXPECT_GE(colourCount(cell.controlRect), 4) << qPrintable(cell.control + " " + cell.state);
        EXPECT_EQ(cell.state == "focused", cell.focused) << qPrintable(cell.control + " " + cell.state);
    }
}

// Each control takes the size the style gives the matching widget.
TEST_F(DesktopGallery, ControlsHaveTheSizeOfTheirWidgets)
{
    QComboBox combo;
    combo.addItems({"First entry", "Second"});
    QSpinBox spin;
    spin.setValue(42);
    QToolButton tool;
    tool.setText("Tool");
    tool.setToolButtonStyle(Qt::ToolButtonTextOnly);
    tool.setAutoRaise(true);
    const struct {
        const char* control;
        QSize expected;
    } cases[] = {
        {"Button", QPushButton("Button").sizeHint()},
        {"CheckBox", QCheckBox("Check box").sizeHint()},
        {"ComboBox", combo.sizeHint()},
        {"TextField", QLineEdit("Some text").sizeHint()},
        {"SpinBox", spin.sizeHint()},
        {"ToolButton", tool.sizeHint()},
        {"Slider", QSize(160, QSlider(Qt::Horizontal).sizeHint().height())},
        {"ScrollBar", QSize(160, QScrollBar(Qt::Horizontal).sizeHint().height())},
        {"ScrollArea", QSize(160, 90)},
    };
    for (const auto& control : cases) {
        for (const Gui::GalleryCell& cell : cellsOf(control.control)) {
            const QSize size = cell.controlRect.size();
            EXPECT_EQ(control.expected, size) << control.control << " " << qPrintable(cell.state)
                << " " << size.width() << "x" << size.height() << " expected "
                << control.expected.width() << "x" << control.expected.height();
        }
    }
}
