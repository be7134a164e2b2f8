// Painting of a style item: one QStyle call per kind of control.

#include "PixelValues.h"
#include "QStyleItem.h"

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>

namespace Desktop {

void QStyleItem::paint(QPainter* painter)
{
    if (width() < 1 || height() < 1)
        return;
    initStyleOption();
    const QStyleOption* option = m_option.get();
    QStyle* style = QApplication::style();
    QWidget* widget = m_widget;

    if (widget) {
        painter->save();
        painter->setFont(widget->font());
        if (m_kind == Kind::Tab || m_kind == Kind::TabFrame)
            painter->translate(m_paintMargins - option->rect.left(), 0);
    }

    switch (m_kind) {
    case Kind::Button:
        style->drawControl(QStyle::CE_PushButton, option, painter, widget);
        break;
    case Kind::RadioButton:
        style->drawControl(QStyle::CE_RadioButton, option, painter, widget);
        break;
    case Kind::CheckBox:
        style->drawControl(QStyle::CE_CheckBox, option, painter, widget);
        break;
    case Kind::ComboBox: {
        const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
        style->drawComplexControl(QStyle::CC_ComboBox, combo, painter, widget);
        const QPen oldPen = painter->pen();
        painter->setPen(option->palette.color(QPalette::Current, QPalette::Text));
        style->drawControl(QStyle::CE_ComboBoxLabel, combo, painter, widget);
        painter->setPen(oldPen);
        break;
    }
    case Kind::ComboBoxItem:
    case Kind::MenuItem:
        style->drawControl(QStyle::CE_MenuItem, option, painter, widget);
        break;
    case Kind::Dial:
        style->drawComplexControl(QStyle::CC_Dial, qstyleoption_cast<const QStyleOptionSlider*>(option),
                                  painter, widget);
        break;
    case Kind::ToolBar:
        style->drawControl(QStyle::CE_ToolBar, option, painter, widget);
        break;
    case Kind::ToolButton:
        style->drawComplexControl(QStyle::CC_ToolButton,
                                  qstyleoption_cast<const QStyleOptionToolButton*>(option), painter,
                                  widget);
        break;
    case Kind::Tab:
        style->drawControl(QStyle::CE_TabBarTab, option, painter, widget);
        break;
    case Kind::TabFrame:
        style->drawPrimitive(QStyle::PE_FrameTabWidget, option, painter, widget);
        break;
    case Kind::Frame:
        style->drawControl(QStyle::CE_ShapedFrame, option, painter, widget);
        break;
    case Kind::FocusFrame:
        style->drawControl(QStyle::CE_FocusFrame, option, painter, widget);
        break;
    case Kind::SpinBox:
        style->drawComplexControl(QStyle::CC_SpinBox,
                                  qstyleoption_cast<const QStyleOptionSpinBox*>(option), painter,
                                  widget);
        break;
    case Kind::Slider:
        style->drawComplexControl(QStyle::CC_Slider,
                                  qstyleoption_cast<const QStyleOptionSlider*>(option), painter,
                                  widget);
        break;
    case Kind::ScrollBar:
        style->drawComplexControl(QStyle::CC_ScrollBar,
                                  qstyleoption_cast<const QStyleOptionSlider*>(option), painter,
                                  widget);
        break;
    case Kind::ProgressBar:
        style->drawControl(QStyle::CE_ProgressBar, option, painter, widget);
        break;
    case Kind::Edit:
        style->drawPrimitive(QStyle::PE_PanelLineEdit, option, painter, widget);
        break;
    case Kind::GroupBox:
        style->drawComplexControl(QStyle::CC_GroupBox,
                                  qstyleoption_cast<const QStyleOptionGroupBox*>(option), painter,
                                  widget);
        break;
    case Kind::Header:
        if (widget)
            widget->resize(option->rect.size());
        style->drawControl(QStyle::CE_Header, option, painter, widget);
        break;
    case Kind::Item:
        style->drawControl(QStyle::CE_ItemViewItem, option, painter, widget);
        break;
    case Kind::ItemRow:
        drawItemRow(painter);
        break;
    case Kind::Splitter:
        // A one-pixel splitter is only a line.
        if (option->rect.width() == 1)
            painter->fillRect(0, 0, toPixels(width()), toPixels(height()),
                              option->palette.color(QPalette::Current, QPalette::Dark));
        else
            style->drawControl(QStyle::CE_Splitter, option, painter, widget);
        break;
    case Kind::Menu: {
        QStyleOptionMenuItem* menuOption = qstyleoption_cast<QStyleOptionMenuItem*>(m_option.get());
        if (auto* menu = qobject_cast<QMenu*>(widget))
            menuOption->palette = menu->palette();
        QStyleHintReturnMask mask;
        style->styleHint(QStyle::SH_Menu_Mask, option, widget, &mask);
        painter->save();
        painter->setClipRegion(mask.region, Qt::IntersectClip);
        painter->fillRect(option->rect,
                          option->palette.brush(QPalette::Current, QPalette::Window));
        painter->restore();
        style->drawPrimitive(QStyle::PE_PanelMenu, option, painter, widget);
        QStyleOptionFrame frame;
        frame.lineWidth = style->pixelMetric(QStyle::PM_MenuPanelWidth);
        frame.midLineWidth = 0;
        frame.rect = option->rect;
        style->drawPrimitive(QStyle::PE_FrameMenu, &frame, painter, widget);
        break;
    }
    case Kind::Widget:
        style->drawPrimitive(QStyle::PE_Widget, option, painter, widget);
        break;
    case Kind::StatusBar:
        if (this->style() == QLatin1String("mac")) {
            m_option->rect.setTop(m_option->rect.top() + 1);
            style->drawControl(QStyle::CE_ToolBar, option, painter, widget);
            m_option->rect.setTop(m_option->rect.top() - 1);
            painter->setPen(option->palette.color(QPalette::Current, QPalette::Dark).darker(120));
            painter->drawLine(option->rect.topLeft(), option->rect.topRight());
        } else {
            style->drawPrimitive(QStyle::PE_PanelToolBar, option, painter, widget);
        }
        break;
    case Kind::ScrollAreaCorner:
        style->drawPrimitive(QStyle::PE_PanelScrollAreaCorner, option, painter, widget);
        break;
    default:
        break;
    }

    if (widget)
        painter->restore();
}

void QStyleItem::drawItemRow(QPainter* painter)
{
    // Identical rows are drawn by the style once for the whole process.
    const QStyleOption* option = m_option.get();
    const QString key = QStringLiteral("itemrow") +
                        QString::number(uint(option->state.toInt()), 16) + m_activeControl;
    const int w = toPixels(width());
    const int h = toPixels(height());
    QPixmap row;
    if (!QPixmapCache::find(key, &row) || row.width() < w || row.height() != h) {
        row = QPixmap(w, h);
        row.fill(Qt::transparent);
        QPainter rowPainter(&row);
        QStyle* style = QApplication::style();
        style->drawPrimitive(QStyle::PE_PanelItemViewRow, option, &rowPainter, m_widget);
        if (!style->styleHint(QStyle::SH_ItemView_ShowDecorationSelected, option, m_widget) &&
            m_selected)
            rowPainter.fillRect(option->rect,
                                option->palette.brush(QPalette::Current, QPalette::Highlight));
        rowPainter.end();
        QPixmapCache::insert(key, row);
    }
    painter->drawPixmap(0, 0, row);
}

} // namespace Desktop
