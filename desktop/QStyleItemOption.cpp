// The style option of a style item: its class per kind of control and the
// fields read from the item's properties.

#include "PixelValues.h"
#include "QStyleItem.h"

#include <QApplication>
#include <QGroupBox>
#include <QProgressBar>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>

#include <climits>
#include <cmath>

namespace Desktop {

namespace {

template <typename Option>
void deleteAs(QStyleOption* option)
{
    delete static_cast<Option*>(option);
}

// The item's option, made as `Option` when there is none yet.
template <typename Option>
Option* ensure(StyleOptionPtr& option)
{
    if (!option)
        option = StyleOptionPtr(new Option, &deleteAs<Option>);
    return qstyleoption_cast<Option*>(option.get());
}

QStyleOptionHeader::SectionPosition headerPosition(const QString& info)
{
    if (info == QLatin1String("beginning"))
        return QStyleOptionHeader::Beginning;
    if (info == QLatin1String("end"))
        return QStyleOptionHeader::End;
    if (info == QLatin1String("only"))
        return QStyleOptionHeader::OnlyOneSection;
    return QStyleOptionHeader::Middle;
}

QTabBar::Shape tabShape(const QString& info)
{
    return info == QLatin1String("South") ? QTabBar::RoundedSouth : QTabBar::RoundedNorth;
}

} // namespace

int QStyleItem::tickInterval() const
{
    // 64-bit so that extreme ranges from QML cannot overflow.
    const qint64 range = qint64(m_maximum) - qint64(m_minimum);
    if (m_step == 0)
        return range == 0 ? 0 : int(1200 / range);
    const qint64 steps = range / m_step;
    const qreal itemWidth = width();
    if (steps == 0 || itemWidth < 1 || itemWidth / steps >= 5.0)
        return m_step;
    // About five pixels a tick: the step times the steps that take.
    const qint64 ticks = qRound64(5.0 * steps / itemWidth);
    return int(qBound(qint64(INT_MIN), ticks * m_step, qint64(INT_MAX)));
}

void QStyleItem::setKindFields()
{
    const bool ticks = m_activeControl == QLatin1String("tick");
    switch (m_kind) {
    case Kind::Button: {
        auto* option = ensure<QStyleOptionButton>(m_option);
        option->text = m_text;
        option->features = m_activeControl == QLatin1String("default")
                               ? QStyleOptionButton::DefaultButton
                               : QStyleOptionButton::None;
        break;
    }
    case Kind::RadioButton:
    case Kind::CheckBox: {
        auto* option = ensure<QStyleOptionButton>(m_option);
        if (!m_on)
            option->state |= QStyle::State_Off;
        option->text = m_text;
        break;
    }
    case Kind::ComboBox:
        ensure<QStyleOptionComboBox>(m_option)->currentText = m_text;
        break;
    case Kind::ComboBoxItem:
    case Kind::MenuItem: {
        auto* option = ensure<QStyleOptionMenuItem>(m_option);
        option->checked = false;
        option->text = m_text;
        if (m_widget)
            option->palette = m_widget->palette();
        break;
    }
    case Kind::Menu:
        ensure<QStyleOptionMenuItem>(m_option);
        break;
    case Kind::ToolBar:
        ensure<QStyleOptionToolBar>(m_option);
        break;
    case Kind::Slider:
    case Kind::Dial: {
        auto* option = ensure<QStyleOptionSlider>(m_option);
        option->minimum = m_minimum;
        option->maximum = m_maximum;
        option->sliderPosition = m_value;
        option->singleStep = m_step;
        option->tickInterval = tickInterval();
        // Oxygen turns its dials the other way.
        const bool mirrored = m_kind == Kind::Dial && style() == QLatin1String("oxygen");
        option->sliderValue = mirrored ? m_maximum - m_value : m_value;
        option->subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
        if (ticks)
            option->subControls |= QStyle::SC_SliderTickmarks;
        option->tickPosition = ticks ? QSlider::TicksBelow : QSlider::NoTicks;
        option->activeSubControls = QStyle::SC_None;
        break;
    }
    case Kind::ToolButton: {
        auto* option = ensure<QStyleOptionToolButton>(m_option);
        option->subControls = QStyle::SC_ToolButton;
        option->activeSubControls = QStyle::SC_ToolButton;
        option->state |= QStyle::State_AutoRaise;
        break;
    }
    case Kind::Tab: {
        auto* option = ensure<QStyleOptionTab>(m_option);
        option->text = m_text;
        option->shape = tabShape(m_info);
        if (m_activeControl == QLatin1String("beginning"))
            option->position = QStyleOptionTab::Beginning;
        else if (m_activeControl == QLatin1String("end"))
            option->position = QStyleOptionTab::End;
        else if (m_activeControl == QLatin1String("only"))
            option->position = QStyleOptionTab::OnlyOneTab;
        else
            option->position = QStyleOptionTab::Middle;
        break;
    }
    case Kind::TabFrame: {
        // The components pass the selected tab's x in `value` and its width
        // in `minimum`.
        auto* option = ensure<QStyleOptionTabWidgetFrame>(m_option);
        const int tabX = addPixels(m_value, 0);
        const int tabWidth = addPixels(m_minimum, 0);
        option->shape = tabShape(m_info);
        option->tabBarSize = QSize(tabWidth, toPixels(height()));
        option->leftCornerWidgetSize = QSize(tabX, 0);
        if (m_minimum != 0)
            option->selectedTabRect = QRect(tabX, 0, tabWidth, toPixels(height()));
        break;
    }
    case Kind::Frame: {
        auto* option = ensure<QStyleOptionFrame>(m_option);
        option->frameShape = QFrame::StyledPanel;
        option->lineWidth = 1;
        option->midLineWidth = 1;
        break;
    }
    case Kind::Edit:
        ensure<QStyleOptionFrame>(m_option)->lineWidth = 1;
        break;
    case Kind::SpinBox: {
        // Bits 0 to 3 of `value`: up pressed, down pressed, up enabled,
        // down enabled.
        auto* option = ensure<QStyleOptionSpinBox>(m_option);
        option->frame = true;
        option->subControls = QStyle::SC_All;
        if (m_value & 1)
            option->activeSubControls = QStyle::SC_SpinBoxUp;
        else if (m_value & 2)
            option->activeSubControls = QStyle::SC_SpinBoxDown;
        option->stepEnabled = QAbstractSpinBox::StepNone;
        if (m_value & 4)
            option->stepEnabled |= QAbstractSpinBox::StepUpEnabled;
        if (m_value & 8)
            option->stepEnabled |= QAbstractSpinBox::StepDownEnabled;
        break;
    }
    case Kind::ScrollBar: {
        auto* option = ensure<QStyleOptionSlider>(m_option);
        option->minimum = m_minimum;
        option->maximum = m_maximum;
        option->pageStep = m_horizontal ? toPixels(width()) : toPixels(height());
        option->orientation = m_horizontal ? Qt::Horizontal : Qt::Vertical;
        option->sliderPosition = m_value;
        option->sliderValue = m_value;
        if (m_activeControl == QLatin1String("up"))
            option->activeSubControls = QStyle::SC_ScrollBarSubLine;
        else if (m_activeControl == QLatin1String("down"))
            option->activeSubControls = QStyle::SC_ScrollBarAddLine;
        else
            option->activeSubControls = QStyle::SC_ScrollBarSlider;
        option->subControls = QStyle::SC_All;
        if (auto* bar = qobject_cast<QScrollBar*>(m_widget)) {
            bar->setMaximum(m_maximum);
            bar->setMinimum(m_minimum);
            bar->setValue(m_value);
        }
        break;
    }
    case Kind::ProgressBar: {
        if (auto* bar = qobject_cast<QProgressBar*>(m_widget)) {
            bar->setMaximum(m_maximum);
            bar->setMinimum(m_minimum);
            if (m_maximum != m_minimum)
                bar->setValue(1);
        }
        auto* option = ensure<QStyleOptionProgressBar>(m_option);
        option->state.setFlag(QStyle::State_Horizontal, m_horizontal);
        option->minimum = m_minimum;
        option->maximum = m_maximum;
        option->progress = m_value;
        break;
    }
    case Kind::GroupBox: {
        auto* option = ensure<QStyleOptionGroupBox>(m_option);
        option->text = m_text;
        option->lineWidth = 1;
        if (m_sunken) {
            option->subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
            option->features = QStyleOptionFrame::None;
        } else {
            option->subControls = QStyle::SC_GroupBoxLabel;
            option->features = QStyleOptionFrame::Flat;
        }
        if (m_activeControl == QLatin1String("checkbox"))
            option->subControls |= QStyle::SC_GroupBoxCheckBox;
        if (auto* box = qobject_cast<QGroupBox*>(m_widget)) {
            box->setTitle(m_text);
            box->setCheckable(option->subControls & QStyle::SC_GroupBoxCheckBox);
        }
        break;
    }
    case Kind::Header: {
        auto* option = ensure<QStyleOptionHeader>(m_option);
        option->text = m_text;
        if (m_activeControl == QLatin1String("down"))
            option->sortIndicator = QStyleOptionHeader::SortDown;
        else if (m_activeControl == QLatin1String("up"))
            option->sortIndicator = QStyleOptionHeader::SortUp;
        else
            option->sortIndicator = QStyleOptionHeader::None;
        option->position = headerPosition(m_info);
        break;
    }
    case Kind::Item: {
        auto* option = ensure<QStyleOptionViewItem>(m_option);
        option->features = QStyleOptionViewItem::HasDisplay;
        option->text = m_text;
        option->textElideMode = Qt::ElideRight;
        const QBrush none(Qt::NoBrush);
        option->palette.setBrush(QPalette::All, QPalette::Base, none);
        break;
    }
    case Kind::ItemRow: {
        auto* option = ensure<QStyleOptionViewItem>(m_option);
        option->features = m_activeControl == QLatin1String("alternate")
                               ? QStyleOptionViewItem::Alternate
                               : QStyleOptionViewItem::None;
        break;
    }
    default:
        ensure<QStyleOption>(m_option);
        break;
    }
}

void QStyleItem::setWidgetGeometry()
{
    const int w = toPixels(width());
    const int h = toPixels(height());
    if (m_kind == Kind::Tab && style() != QLatin1String("mac")) {
        m_widget->setGeometry(0, 0, w, h);
        if (m_activeControl != QLatin1String("beginning"))
            m_option->rect.translate(1, 0);
        if (m_activeControl != QLatin1String("end"))
            m_widget->resize(200, h);
    } else {
        m_widget->resize(w, h);
    }
}

void QStyleItem::initStyleOption()
{
    if (m_option)
        m_option->state = QStyle::State_None;
    setKindFields();

    QStyleOption* option = m_option.get();
    option->rect = QRect(m_paintMargins, m_paintMargins, toPixels(width() - 2.0 * m_paintMargins),
                         toPixels(height() - 2.0 * m_paintMargins));
    if (isEnabled())
        option->state |= QStyle::State_Enabled;
    if (m_active)
        option->state |= QStyle::State_Active;
    if (m_sunken)
        option->state |= QStyle::State_Sunken;
    if (m_raised)
        option->state |= QStyle::State_Raised;
    if (m_selected)
        option->state |= QStyle::State_Selected;
    // Styles of Qt 5 and later draw the focus ring only for focus that
    // the keyboard can see; an item that has the focus shows it.
    if (m_hasFocus)
        option->state |= QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange;
    if (m_on)
        option->state |= QStyle::State_On;
    if (m_hover)
        option->state |= QStyle::State_MouseOver;
    if (m_horizontal)
        option->state |= QStyle::State_Horizontal;

    if (!m_widget)
        return;
    m_widget->ensurePolished();
    setWidgetGeometry();
    m_widget->setEnabled(isEnabled());
    option->fontMetrics = m_widget->fontMetrics();
    if (option->palette.resolveMask() == 0)
        option->palette = m_widget->palette();
    if (m_hint.contains(QLatin1String("mini")))
        m_widget->setAttribute(Qt::WA_MacMiniSize);
    else if (m_hint.contains(QLatin1String("small")))
        m_widget->setAttribute(Qt::WA_MacSmallSize);
}

} // namespace Desktop
