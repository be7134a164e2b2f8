#include "DesktopTesting.h"

#include "desktop/QStyleItem.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QQuickWindow>
#include <QStyle>
#include <QStyleOption>

#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <vector>

using Desktop::QStyleItem;

namespace {

// A style whose class name holds "oxygen", for the rules that depend on it.
class FakeOxygenStyle : public QProxyStyle {
    Q_OBJECT
public:
    FakeOxygenStyle() : QProxyStyle(QStringLiteral("fusion")) {}
};

std::unique_ptr<QStyleItem> styleItem(const char* elementType, qreal width = 200, qreal height = 20)
{
    auto item = std::make_unique<QStyleItem>();
    item->setSize(QSizeF(width, height));
    item->setElementType(QString::fromLatin1(elementType));
    return item;
}

template <typename Option>
const Option* optionOf(QStyleItem& item)
{
    item.initStyleOption();
    return qstyleoption_cast<const Option*>(item.styleOption());
}

bool paintsAnything(QStyleItem& item, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    item.paint(&painter);
    painter.end();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return true;
    return false;
}

class StyleItem : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registerDesktopTypesOnce(); }
};

} // namespace

TEST_F(StyleItem, NamesTheStyleByItsClass)
{
    EXPECT_EQ("fusion", QStyleItem().style());
    const struct {
        const char* className;
        const char* name;
    } cases[] = {
        {"QWindowsVistaStyle", "windowsvista"}, {"QMacStyle", "mac"},
        {"QFusionStyle", "fusion"},             {"KOxygenThing", "oxygen"},
        {"Breeze", "breeze"},                   {"QStyleSheetStyle", "stylesheet"},
    };
    for (const auto& style : cases)
        EXPECT_EQ(style.name, QStyleItem::styleNameOf(style.className)) << style.className;
}

TEST_F(StyleItem, AnswersNamedMetricsFromTheStyle)
{
    QStyle* style = QApplication::style();
    auto metric = [style](QStyle::PixelMetric which) { return style->pixelMetric(which); };
    QStyleItem item;
    EXPECT_EQ(metric(QStyle::PM_ScrollBarExtent) + 1, item.pixelMetric("scrollbarExtent"));
    EXPECT_EQ(metric(QStyle::PM_TabBarBaseOverlap) + 1, item.pixelMetric("tabbaseoverlap"));
    EXPECT_EQ(std::abs(metric(QStyle::PM_ScrollView_ScrollBarSpacing)),
              item.pixelMetric("scrollbarspacing"));
    EXPECT_EQ(metric(QStyle::PM_DefaultFrameWidth), item.pixelMetric("defaultframewidth"));
    EXPECT_EQ(metric(QStyle::PM_SplitterWidth), item.pixelMetric("splitterwidth"));
    EXPECT_EQ(metric(QStyle::PM_ExclusiveIndicatorWidth), item.pixelMetric("indicatorwidth"));
    EXPECT_EQ(0, item.pixelMetric("ScrollBarExtent")); // names are exact
    EXPECT_EQ(QApplication::palette().color(QPalette::Text).name(),
              item.styleHint("textColor").toString());
    EXPECT_EQ(QVariant(0), item.styleHint("no such hint"));
}

// Implicit sizes come from the style's size for the contents, as for the
// matching widget; kinds without a size rule report -1 x -1.
TEST_F(StyleItem, ImplicitSizeIsTheStylesSizeForTheContents)
{
    auto button = styleItem("button");
    button->setText("Button");
    button->setContentHeight(button->fontHeight());
    EXPECT_EQ(QSizeF(QPushButton("Button").sizeHint()),
              QSizeF(button->implicitWidth(), button->implicitHeight()));

    auto toolbar = styleItem("toolbar");
    toolbar->setContentWidth(999);
    EXPECT_EQ(QSizeF(200, 40), QSizeF(toolbar->implicitWidth(), toolbar->implicitHeight()));
    for (const char* kind : {"frame", "dial", "scrollbar", "no such kind"}) {
        auto item = styleItem(kind);
        item->setContentWidth(50);
        EXPECT_EQ(QSizeF(-1, -1), QSizeF(item->implicitWidth(), item->implicitHeight())) << kind;
    }
}

TEST_F(StyleItem, ElementTypeChangesOnlyOnANewName)
{
    auto item = styleItem("checkbox");
    QWidget* widget = item->styleWidget();
    ASSERT_TRUE(qobject_cast<QCheckBox*>(widget));
    const QStyleOption* option = optionOf<QStyleOptionButton>(*item);
    int changes = 0;
    QObject::connect(item.get(), &QStyleItem::elementTypeChanged, [&] { ++changes; });
    item->setElementType("checkbox");
    EXPECT_EQ(0, changes);
    EXPECT_EQ(widget, item->styleWidget());
    EXPECT_EQ(option, item->styleOption());

    QPointer<QWidget> ownWidget = widget;
    item->setElementType("menu");
    EXPECT_EQ(1, changes);
    EXPECT_FALSE(ownWidget); // its own widget went with the old kind
    EXPECT_EQ(QStyleItem::Kind::Menu, item->kind());
    EXPECT_TRUE(item->styleWidget()->isWindow());
}

// Each kind is drawn with the option class the style expects of its
// control: given another class the style draws nothing or the wrong thing.
TEST_F(StyleItem, EveryKindGetsTheOptionClassOfItsControl)
{
    const struct {
        int type;
        std::vector<const char*> kinds;
    } classes[] = {
        {QStyleOption::SO_Button, {"button", "checkbox", "radiobutton"}},
        {QStyleOption::SO_ComboBox, {"combobox"}},
        {QStyleOption::SO_MenuItem, {"comboboxitem", "menuitem", "menu"}},
        {QStyleOption::SO_ToolBar, {"toolbar"}},
        {QStyleOption::SO_Slider, {"slider", "dial", "scrollbar"}},
        {QStyleOption::SO_ToolButton, {"toolbutton"}},
        {QStyleOption::SO_Tab, {"tab"}},
        {QStyleOption::SO_TabWidgetFrame, {"tabframe"}},
        {QStyleOption::SO_Frame, {"frame", "edit"}},
        {QStyleOption::SO_SpinBox, {"spinbox"}},
        {QStyleOption::SO_ProgressBar, {"progressbar"}},
        {QStyleOption::SO_GroupBox, {"groupbox"}},
        {QStyleOption::SO_Header, {"header"}},
        {QStyleOption::SO_ViewItem, {"item", "itemrow"}},
        {QStyleOption::SO_Default, {"splitter", "widget", "focusframe", "statusbar", "machelpbutton",
                                    "scrollareacorner", "no such kind"}},
    };
    for (const auto& optionClass : classes) {
        for (const char* kind : optionClass.kinds)
            EXPECT_EQ(optionClass.type, optionOf<QStyleOption>(*styleItem(kind))->type) << kind;
    }
    // Kinds that share a class still differ in what they read.
    EXPECT_TRUE(optionOf<QStyleOptionButton>(*styleItem("checkbox"))->state & QStyle::State_Off);
    EXPECT_FALSE(optionOf<QStyleOptionButton>(*styleItem("button"))->state & QStyle::State_Off);
    EXPECT_EQ(QFrame::StyledPanel, optionOf<QStyleOptionFrame>(*styleItem("frame"))->frameShape);
    EXPECT_EQ(QFrame::NoFrame, optionOf<QStyleOptionFrame>(*styleItem("edit"))->frameShape);
}

TEST_F(StyleItem, SliderTickIntervalFollowsStepAndWidth)
{
    const struct {
        int minimum, maximum, step;
        qreal width;
        int interval;
    } cases[] = {
        {0, 100, 0, 200, 12}, {5, 5, 0, 200, 0}, {0, 100, 1, 200, 3}, {0, 100, 1, 500, 1},
        {0, 10, 20, 200, 20}, {INT_MIN, INT_MAX, 1, 200, 107374182},
    };
    for (const auto& slider : cases) {
        auto item = styleItem("slider", slider.width);
        item->setMinimum(slider.minimum);
        item->setMaximum(slider.maximum);
        item->setStep(slider.step);
        EXPECT_EQ(slider.interval, optionOf<QStyleOptionSlider>(*item)->tickInterval)
            << slider.minimum << ".." << slider.maximum << " step " << slider.step;
    }
}

// The spin box's value packs up-pressed, down-pressed, up-enabled and
// down-enabled into its four lowest bits.
TEST_F(StyleItem, SpinBoxReadsItsButtonsFromTheValueBits)
{
    auto item = styleItem("spinbox", 60, 24);
    item->setValue(5);
    const auto* up = optionOf<QStyleOptionSpinBox>(*item);
    EXPECT_EQ(QStyle::SC_SpinBoxUp, up->activeSubControls);
    EXPECT_EQ(QAbstractSpinBox::StepUpEnabled, up->stepEnabled);
    item->setValue(10);
    const auto* down = optionOf<QStyleOptionSpinBox>(*item);
    EXPECT_EQ(QStyle::SC_SpinBoxDown, down->activeSubControls);
    EXPECT_EQ(QAbstractSpinBox::StepDownEnabled, down->stepEnabled);
    EXPECT_EQ("up", item->hitTest(55, 4));
    EXPECT_EQ("down", item->hitTest(55, 20));
    EXPECT_TRUE(item->subControlRect("edit").contains(10, 12));
}

TEST_F(StyleItem, ScrollBarHitTestsNameEachPart)
{
    auto item = styleItem("scrollbar", 200, 16);
    item->setMaximum(400);
    item->setValue(0);
    const QRect handle = item->subControlRect("handle");
    ASSERT_FALSE(handle.isEmpty());
    EXPECT_EQ("up", item->hitTest(2, 8));
    EXPECT_EQ("down", item->hitTest(197, 8));
    EXPECT_EQ("handle", item->hitTest(handle.center().x(), 8));
    EXPECT_EQ("downPage", item->hitTest(handle.right() + 5, 8));
    EXPECT_EQ("none", item->hitTest(500, 8));
    item->setValue(400);
    EXPECT_EQ("upPage", item->hitTest(handle.center().x(), 8));
    EXPECT_EQ(QRect(), item->subControlRect("no such part"));
    EXPECT_EQ("none", styleItem("button")->hitTest(5, 5));
}

TEST_F(StyleItem, PaintsOnlyWhenAtLeastOnePixelWide)
{
    EXPECT_TRUE(paintsAnything(*styleItem("button", 80, 24), QSize(80, 24)));
    EXPECT_FALSE(paintsAnything(*styleItem("button", 0.5, 24), QSize(80, 24)));
    EXPECT_FALSE(paintsAnything(*styleItem("button", 80, 0), QSize(80, 24)));
    EXPECT_FALSE(paintsAnything(*styleItem("no such kind", 80, 24), QSize(80, 24)));
}

TEST_F(StyleItem, IsDrawnAgainWhenItIsEnabledOrDisabled)
{
    QQuickWindow window;
    window.resize(100, 40);
    auto* item = new QStyleItem(window.contentItem());
    item->setSize(QSizeF(80, 24));
    item->setElementType(QStringLiteral("button"));
    item->setText(QStringLiteral("Pause"));
    item->setEnabled(false);
    window.show();
    const QImage disabled = window.grabWindow();
    item->setEnabled(true);
    const QImage enabled = window.grabWindow();
    EXPECT_NE(disabled, enabled);
    item->setEnabled(false);
    EXPECT_EQ(window.grabWindow(), disabled);
}

// Values no widget could have are drawn and measured without overflow.
TEST_F(StyleItem, OutlandishGeometryStaysWithinWidgetLimits)
{
    for (const char* kind : {"tab", "tabframe", "scrollbar", "groupbox", "itemrow"}) {
        auto item = styleItem(kind, 1e30, std::numeric_limits<qreal>::infinity());
        item->setPaintMargins(INT_MAX);
        item->setMinimum(INT_MIN);
        item->setMaximum(INT_MAX);
        item->initStyleOption();
        EXPECT_EQ(QWIDGETSIZE_MAX, item->styleOption()->rect.left() - (item->kind() == QStyleItem::Kind::Tab))
            << kind;
        item->hitTest(INT_MAX, INT_MIN);
        item->subControlRect("handle");
    }
}

TEST_F(StyleItem, OxygenTurnsDialsTheOtherWay)
{
    QStyle* previous = QApplication::style();
    QApplication::setStyle(new FakeOxygenStyle);
    auto dial = styleItem("dial", 60, 60);
    dial->setValue(30);
    auto slider = styleItem("slider");
    slider->setValue(30);
    EXPECT_EQ("oxygen", dial->style());
    EXPECT_EQ(70, optionOf<QStyleOptionSlider>(*dial)->sliderValue);
    EXPECT_EQ(30, optionOf<QStyleOptionSlider>(*slider)->sliderValue);
    QApplication::setStyle(QStringLiteral("fusion"));
    Q_UNUSED(previous);
}

#include "StyleItemTest.moc"
