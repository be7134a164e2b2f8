// What a style item tells its component about the style: sizes from
// contents, named pixel metrics and hints, hit tests and sub-control
// rectangles.

#include "QStyleItem.h"

#include <QApplication>
#include <QStyle>
#include <QStyleOption>

#include <cstdlib>

namespace Desktop {

QSize QStyleItem::computeSizeHint(int width, int height)
{
    initStyleOption();
    const QStyleOption* option = m_option.get();
    QStyle* style = QApplication::style();
    const QSize contents(width, height);
    auto fromContents = [&](QStyle::ContentsType type, const QSize& size) {
        return style->sizeFromContents(type, option, size, m_widget);
    };
    switch (m_kind) {
    case Kind::Button: {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        const int textWidth = button->fontMetrics.horizontalAdvance(button->text);
        return fromContents(QStyle::CT_PushButton, QSize(textWidth, height));
    }
    case Kind::RadioButton:
        return fromContents(QStyle::CT_RadioButton, contents);
    case Kind::CheckBox:
        return fromContents(QStyle::CT_CheckBox, contents);
    case Kind::ComboBox:
        return fromContents(QStyle::CT_ComboBox, contents);
    case Kind::ToolButton:
        return fromContents(QStyle::CT_ToolButton, contents);
    case Kind::Tab:
        return fromContents(QStyle::CT_TabBarTab, contents);
    case Kind::SpinBox:
        return fromContents(QStyle::CT_SpinBox, contents);
    case Kind::Slider:
        return fromContents(QStyle::CT_Slider, contents);
    case Kind::ProgressBar:
        return fromContents(QStyle::CT_ProgressBar, contents);
    case Kind::Edit:
        return fromContents(QStyle::CT_LineEdit, contents);
    case Kind::GroupBox:
        return fromContents(QStyle::CT_GroupBox, contents);
    case Kind::Header:
        return fromContents(QStyle::CT_HeaderSection, contents);
    case Kind::Item:
    case Kind::ItemRow:
        return fromContents(QStyle::CT_ItemViewItem, contents);
    case Kind::ToolBar:
        return QSize(200, 40);
    default:
        return QSize(-1, -1);
    }
}

int QStyleItem::pixelMetric(const QString& metric)
{
    struct Named {
        const char* name;
        QStyle::PixelMetric metric;
        int added;
    };
    static const Named metrics[] = {
        {"scrollbarExtent", QStyle::PM_ScrollBarExtent, 1},
        {"defaultframewidth", QStyle::PM_DefaultFrameWidth, 0},
        {"taboverlap", QStyle::PM_TabBarTabOverlap, 0},
        {"tabbaseoverlap", QStyle::PM_TabBarBaseOverlap, 1},
        {"tabhspace", QStyle::PM_TabBarTabHSpace, 0},
        {"indicatorwidth", QStyle::PM_ExclusiveIndicatorWidth, 0},
        {"tabvspace", QStyle::PM_TabBarTabVSpace, 0},
        {"tabbaseheight", QStyle::PM_TabBarBaseHeight, 0},
        {"tabvshift", QStyle::PM_TabBarTabShiftVertical, 0},
        {"menuhmargin", QStyle::PM_MenuHMargin, 0},
        {"menuvmargin", QStyle::PM_MenuVMargin, 0},
        {"menupanelwidth", QStyle::PM_MenuPanelWidth, 0},
        {"splitterwidth", QStyle::PM_SplitterWidth, 0},
    };
    QStyle* style = QApplication::style();
    for (const Named& named : metrics)
        if (metric == QLatin1String(named.name))
            return style->pixelMetric(named.metric, nullptr, m_widget) + named.added;
    if (metric == QLatin1String("scrollbarspacing"))
        return std::abs(style->pixelMetric(QStyle::PM_ScrollView_ScrollBarSpacing, nullptr, m_widget));
    return 0;
}

QVariant QStyleItem::styleHint(const QString& metric)
{
    initStyleOption();
    QStyle* style = QApplication::style();
    const QPalette palette = m_widget ? m_widget->palette() : QApplication::palette();
    if (metric == QLatin1String("comboboxpopup"))
        return style->styleHint(QStyle::SH_ComboBox_Popup, m_option.get());
    if (metric == QLatin1String("highlightedTextColor"))
        return palette.color(QPalette::Current, QPalette::HighlightedText).name();
    if (metric == QLatin1String("textColor"))
        return palette.color(QPalette::Current, QPalette::Text).name();
    if (metric == QLatin1String("focuswidget"))
        return style->styleHint(QStyle::SH_FocusFrame_AboveWidget);
    if (metric == QLatin1String("tabbaralignment"))
        return style->styleHint(QStyle::SH_TabBar_Alignment) == Qt::AlignCenter
                   ? QStringLiteral("center")
                   : QStringLiteral("left");
    if (metric == QLatin1String("framearoundcontents"))
        return style->styleHint(QStyle::SH_ScrollView_FrameOnlyAroundContents);
    if (metric == QLatin1String("scrollToClickPosition"))
        return style->styleHint(QStyle::SH_ScrollBar_LeftClickAbsolutePosition);
    return 0;
}

QString QStyleItem::hitTest(int x, int y)
{
    initStyleOption();
    const auto* complex = qstyleoption_cast<const QStyleOptionComplex*>(m_option.get());
    QStyle* style = QApplication::style();
    const QPoint point(x, y);
    switch (m_kind) {
    case Kind::Slider:
        return style->hitTestComplexControl(QStyle::CC_Slider, complex, point) ==
                       QStyle::SC_SliderHandle
                   ? QStringLiteral("handle")
                   : QStringLiteral("none");
    case Kind::ScrollBar:
        switch (style->hitTestComplexControl(QStyle::CC_ScrollBar, complex, point)) {
        case QStyle::SC_ScrollBarSlider:
            return QStringLiteral("handle");
        case QStyle::SC_ScrollBarSubLine:
            return QStringLiteral("up");
        case QStyle::SC_ScrollBarSubPage:
            return QStringLiteral("upPage");
        case QStyle::SC_ScrollBarAddLine:
            return QStringLiteral("down");
        case QStyle::SC_ScrollBarAddPage:
            return QStringLiteral("downPage");
        default:
            return QStringLiteral("none");
        }
    case Kind::SpinBox:
        switch (style->hitTestComplexControl(QStyle::CC_SpinBox, complex, point)) {
        case QStyle::SC_SpinBoxUp:
            return QStringLiteral("up");
        case QStyle::SC_SpinBoxDown:
            return QStringLiteral("down");
        default:
            return QStringLiteral("none");
        }
    default:
        return QStringLiteral("none");
    }
}

QRect QStyleItem::subControlRect(const QString& subcontrolString)
{
    initStyleOption();
    const auto* complex = qstyleoption_cast<const QStyleOptionComplex*>(m_option.get());
    QStyle* style = QApplication::style();
    const QString& name = subcontrolString;
    switch (m_kind) {
    case Kind::Slider: {
        QStyle::SubControl control = QStyle::SC_None;
        if (name == QLatin1String("handle"))
            control = QStyle::SC_SliderHandle;
        else if (name == QLatin1String("groove"))
            control = QStyle::SC_SliderGroove;
        return style->subControlRect(QStyle::CC_Slider, complex, control, m_widget);
    }
    case Kind::SpinBox: {
        QStyle::SubControl control = QStyle::SC_None;
        if (name == QLatin1String("down"))
            control = QStyle::SC_SpinBoxDown;
        else if (name == QLatin1String("up"))
            control = QStyle::SC_SpinBoxUp;
        else if (name == QLatin1String("edit"))
            control = QStyle::SC_SpinBoxEditField;
        return style->subControlRect(QStyle::CC_SpinBox, complex, control, m_widget);
    }
    case Kind::ScrollBar: {
        QStyle::SubControl control = QStyle::SC_None;
        if (name == QLatin1String("groove"))
            control = QStyle::SC_ScrollBarGroove;
        else if (name == QLatin1String("handle") || name == QLatin1String("slider"))
            control = QStyle::SC_ScrollBarSlider;
        else if (name == QLatin1String("add"))
            control = QStyle::SC_ScrollBarAddPage;
        else if (name == QLatin1String("sub"))
            control = QStyle::SC_ScrollBarSubPage;
        return style->subControlRect(QStyle::CC_ScrollBar, complex, control, m_widget);
    }
    default:
        return QRect();
    }
}

} // namespace Desktop
