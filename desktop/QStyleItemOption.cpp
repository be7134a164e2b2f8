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

using Kind = QStyleItem::Kind;

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

bool is(const QString& value, const char* name)
{
    return value == QLatin1String(name);
}

QTabBar::Shape tabShape(const QString& info)
{
    return is(info, "South") ? QTabBar::RoundedSouth : QTabBar::RoundedNorth;
}

// Where a tab or a header section sits in its row, by name: "beginning",
// "end", "only", anything else in the middle.
template <typename Position>
Position placeInRow(const QString& name, Position beginning, Position end, Position only,
                    Position middle)
{
    if (is(name, "beginning"))
        return beginning;
    if (is(name, "end"))
        return end;
    if (is(name, "only"))
        return only;
    return middle;
}

// Ticks every step, or every few steps where the steps are narrower than
// about five pixels; with no step, 1200 / range.
int tickInterval(const QStyleItem& item)
{
    // 64-bit so that extreme ranges from QML cannot overflow.
    const qint64 range = qint64(item.maximum()) - qint64(item.minimum());
    const int step = item.step();
    if (step == 0)
        return range == 0 ? 0 : int(1200 / range);
    const qint64 steps = range / step;
    const qreal itemWidth = item.width();
    if (steps == 0 || itemWidth < 1 || itemWidth / steps >= 5.0)
        return step;
    // About five pixels a tick: the step times the steps that take.
    const qint64 ticks = qRound64(5.0 * steps / itemWidth);
    return int(qBound(qint64(INT_MIN), ticks * step, qint64(INT_MAX)));
}

// One function per kind of control: makes the option as the class the
// style expects for that control and fills its fields from the item.

// Kinds whose option carries nothing but the common fields.
template <typename Option>
void plainFields(const QStyleItem&, StyleOptionPtr& stored)
{
    ensure<Option>(stored);
}

void buttonFields(const QStyleItem& item, StyleOptionPtr& stored)
{
    auto* option = ensure<QStyleOptionButton>(stored);
    option->text = item.text();
    option->features = is(item.activeControl(), "default") ? QStyleOptionButton::DefaultButton
                                                           : QStyleOptionButton::None;
}

// Check boxes and radio buttons.
void checkableFields(const QStyleItem& item, StyleOptionPtr& stored)
{
    auto* option = ensure<QStyleOptionButton>(stored);
    if (!item.on())
        option->state |= QStyle::State_Off;
    option->text = item.text();
}

void comboBoxFields(const QStyleItem& item, StyleOptionPtr& stored)
{
    ensure<QStyleOptionComboBox>(stored)->currentText = item.text();
}

// Menu entries and the entries of a combo box's list.
void menuItemFields(const QStyleItem& item, StyleOptionPtr& stored)
{
    auto* option = ensure<QStyleOptionMenuItem>(stored);
    option->checked = false;
    option->text = item.text();
    if (const QWidget* widget = item.styleWidget())
        option->palette = widget->palette();
}

// Sliders and dials.
void sliderFields(const QStyleItem& item, StyleOptionPtr& stored)
{
    auto* option = ensure<QStyleOptionSlider>(stored);
    option->minimum = item.minimum();
    option->maximum = item.maximum();
    option->sliderPosition = item.value();
    option->singleStep = item.step();
    option->tickInterval = tickInterval(item);
    // Oxygen turns its dials the other way.
    const bool mirrored = item.kind() == Kind::Dial && is(item.style(), "oxygen");
    option->sliderValue = mirrored ? item.maximum() - item.value() : item.value();
    const bool ticks = is(item.activeControl(), "tick");
    option->subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    if (ticks)
        option->subControls |= QStyle::SC_SliderTickmarks;
    option->tickPosition = ticks ? QSlider::TicksBelow : QSlider::NoTicks;
    option->activeSubControls = QStyle::SC_None;
}

void toolButtonFields(const QStyleItem&, StyleOptionPtr& stored)
{
    auto* option = ensure<QStyleOptionToolButton>(stored);
    option->subControls = QStyle::SC_ToolButton;
    option->activeSubControls = QStyle::SC_ToolButton;
    option->state |= QStyle::State_AutoRaise;
}

void tabFields(const QStyleItem& item, StyleOptionPtr& stored)
{
    auto* option = ensure<QStyleOptionTab>(stored);
    option->text = item.text();
    option->shape = tabShape(item.info());
    option->position = placeInRow(item.activeControl(), QStyleOptionTab::Beginning,
                                  QStyleOptionTab::End, QStyleOptionTab::OnlyOneTab,
                                  QStyleOptionTab::Middle);
}

// The components pass the selected tab's x in `value` and its width in
// `minimum`.
void tabFrameFields(const QStyleItem& item, StyleOptionPtr& stored)
{
    auto* option = ensure<QStyleOptionTabWidgetFrame>(stored);
    const int tabX = addPixels(item.value(), 0);
    const int tabWidth = addPixels(item.minimum(), 0);
    const int height = toPixels(item.height());
    option->shape = tabShape(item.info());
    option->tabBarSize = QSize(tabWidth, height);
    option->leftCornerWidgetSize = QSize(tabX, 0);
    if (item.minimum() != 0)
        option->selectedTabRect = QRect(tabX, 0, tabWidth, height);
}

void frameFields(const QStyleItem&, StyleOptionPtr& stored)
{
    auto* option = ensure<QStyleOptionFrame>(stored);
    option->frameShape = QFrame::StyledPanel;
    option->lineWidth = 1;
    option->midLineWidth = 1;
}

void editFields(const QStyleItem&, StyleOptionPtr& stored)
{
    ensure<QStyleOptionFrame>(stored)->lineWidth = 1;
}

// Bits 0 to 3 of `value`: up pressed, down pressed, up enabled, down
// enabled.
void spinBoxFields(const QStyleItem& item, StyleOptionPtr& stored)
{
    auto* option = ensure<QStyleOptionSpinBox>(stored);
    const int bits = item.value();
    option->frame = true;
    option->subControls = QStyle::SC_All;
    if (bits & 1)
        option->activeSubControls = QStyle::SC_SpinBoxUp;
    else if (bits & 2)
        option->activeSubControls = QStyle::SC_SpinBoxDown;
    option->stepEnabled = QAbstractSpinBox::StepNone;
    if (bits & 4)
        option->stepEnabled |= QAbstractSpinBox::StepUpEnabled;
    if (bits & 8)
        option->stepEnabled |= QAbstractSpinBox::StepDownEnabled;
}

QStyle::SubControl scrollBarActivePart(const QString& activeControl)
{
    if (is(activeControl, "up"))
        return QStyle::SC_ScrollBarSubLine;
    if (is(activeControl, "down"))
        return QStyle::SC_ScrollBarAddLine;
    return QStyle::SC_ScrollBarSlider;
}

void scrollBarFields(const QStyleItem& item, StyleOptionPtr& stored)
{
    auto* option = ensure<QStyleOptionSlider>(stored);
    option->minimum = item.minimum();
    option->maximum = item.maximum();
    option->pageStep = item.horizontal() ? toPixels(item.width()) : toPixels(item.height());
    option->orientation = item.horizontal() ? Qt::Horizontal : Qt::Vertical;
    option->sliderPosition = item.value();
    option->sliderValue = item.value();
    option->activeSubControls = scrollBarActivePart(item.activeControl());
    option->subControls = QStyle::SC_All;
    if (auto* bar = qobject_cast<QScrollBar*>(item.styleWidget())) {
        bar->setMaximum(item.maximum());
        bar->setMinimum(item.minimum());
        bar->setValue(item.value());
    }
}

void progressBarFields(const QStyleItem& item, StyleOptionPtr& stored)
{
    if (auto* bar = qobject_cast<QProgressBar*>(item.styleWidget())) {
        bar->setMaximum(item.maximum());
        bar->setMinimum(item.minimum());
        if (item.maximum() != item.minimum())
            bar->setValue(1);
    }
    auto* option = ensure<QStyleOptionProgressBar>(stored);
    option->state.setFlag(QStyle::State_Horizontal, item.horizontal());
    option->minimum = item.minimum();
    option->maximum = item.maximum();
    option->progress = item.value();
}

// A sunken group box is framed, a raised one flat; "checkbox" adds a check
// box to its title.
void groupBoxFields(const QStyleItem& item, StyleOptionPtr& stored)
{
    auto* option = ensure<QStyleOptionGroupBox>(stored);
    option->text = item.text();
    option->lineWidth = 1;
    if (item.sunken()) {
        option->subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        option->features = QStyleOptionFrame::None;
    } else {
        option->subControls = QStyle::SC_GroupBoxLabel;
        option->features = QStyleOptionFrame::Flat;
    }
    if (is(item.activeControl(), "checkbox"))
        option->subControls |= QStyle::SC_GroupBoxCheckBox;
    if (auto* box = qobject_cast<QGroupBox*>(item.styleWidget())) {
        box->setTitle(item.text());
        box->setCheckable(option->subControls & QStyle::SC_GroupBoxCheckBox);
    }
}

QStyleOptionHeader::SortIndicator sortIndicator(const QString& activeControl)
{
    if (is(activeControl, "down"))
        return QStyleOptionHeader::SortDown;
    if (is(activeControl, "up"))
        return QStyleOptionHeader::SortUp;
    return QStyleOptionHeader::None;
}

void headerFields(const QStyleItem& item, StyleOptionPtr& stored)
{
    auto* option = ensure<QStyleOptionHeader>(stored);
    option->text = item.text();
    option->sortIndicator = sortIndicator(item.activeControl());
    option->position = placeInRow(item.info(), QStyleOptionHeader::Beginning,
                                  QStyleOptionHeader::End, QStyleOptionHeader::OnlyOneSection,
                                  QStyleOptionHeader::Middle);
}

// A view item's text over no background: the row below shows through.
void itemFields(const QStyleItem& item, StyleOptionPtr& stored)
{
    auto* option = ensure<QStyleOptionViewItem>(stored);
    option->features = QStyleOptionViewItem::HasDisplay;
    option->text = item.text();
    option->textElideMode = Qt::ElideRight;
    option->palette.setBrush(QPalette::All, QPalette::Base, QBrush(Qt::NoBrush));
}

void itemRowFields(const QStyleItem& item, StyleOptionPtr& stored)
{
    auto* option = ensure<QStyleOptionViewItem>(stored);
    option->features = is(item.activeControl(), "alternate") ? QStyleOptionViewItem::Alternate
                                                             : QStyleOptionViewItem::None;
}

using FieldsOfKind = void (*)(const QStyleItem& item, StyleOptionPtr& stored);

struct KindFields {
    Kind kind;
    FieldsOfKind fill;
};

// Kinds not listed ("splitter", "widget", "focusframe", "statusbar",
// "machelpbutton", "scrollareacorner", none yet) draw with a plain
// QStyleOption.
const KindFields kindFieldsTable[] = {
    {Kind::Button, &buttonFields},
    {Kind::RadioButton, &checkableFields},
    {Kind::CheckBox, &checkableFields},
    {Kind::ComboBox, &comboBoxFields},
    {Kind::ComboBoxItem, &menuItemFields},
    {Kind::MenuItem, &menuItemFields},
    {Kind::Menu, &plainFields<QStyleOptionMenuItem>},
    {Kind::ToolBar, &plainFields<QStyleOptionToolBar>},
    {Kind::Slider, &sliderFields},
    {Kind::Dial, &sliderFields},
    {Kind::ToolButton, &toolButtonFields},
    {Kind::Tab, &tabFields},
    {Kind::TabFrame, &tabFrameFields},
    {Kind::Frame, &frameFields},
    {Kind::Edit, &editFields},
    {Kind::SpinBox, &spinBoxFields},
    {Kind::ScrollBar, &scrollBarFields},
    {Kind::ProgressBar, &progressBarFields},
    {Kind::GroupBox, &groupBoxFields},
    {Kind::Header, &headerFields},
    {Kind::Item, &itemFields},
    {Kind::ItemRow, &itemRowFields},
};

} // namespace

void QStyleItem::setKindFields()
{
    for (const KindFields& entry : kindFieldsTable) {
        if (entry.kind == m_kind) {
            entry.fill(*this, m_option);
            return;
        }
    }
    ensure<QStyleOption>(m_option);
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
