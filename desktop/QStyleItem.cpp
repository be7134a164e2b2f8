#include "QStyleItem.h"

#include "StyleWidgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

namespace Desktop {

namespace {

// Stores a changed value and announces it; an equal one changes nothing.
template <typename T, typename Signal>
void assign(QStyleItem* item, T& stored, const T& value, Signal changed)
{
    if (stored == value)
        return;
    stored = value;
    emit(item->*changed)();
}

struct ElementBinding {
    const char* name;
    QStyleItem::Kind kind;
};

// Names are matched exactly, in this order.
const ElementBinding elementTable[] = {
    {"menu", QStyleItem::Kind::Menu},
    {"menuitem", QStyleItem::Kind::MenuItem},
    {"item", QStyleItem::Kind::Item},
    {"itemrow", QStyleItem::Kind::ItemRow},
    {"header", QStyleItem::Kind::Header},
    {"groupbox", QStyleItem::Kind::GroupBox},
    {"tabframe", QStyleItem::Kind::TabFrame},
    {"tab", QStyleItem::Kind::Tab},
    {"comboboxitem", QStyleItem::Kind::ComboBoxItem},
    {"toolbar", QStyleItem::Kind::ToolBar},
    {"toolbutton", QStyleItem::Kind::ToolButton},
    {"slider", QStyleItem::Kind::Slider},
    {"frame", QStyleItem::Kind::Frame},
    {"combobox", QStyleItem::Kind::ComboBox},
    {"splitter", QStyleItem::Kind::Splitter},
    {"progressbar", QStyleItem::Kind::ProgressBar},
    {"button", QStyleItem::Kind::Button},
    {"checkbox", QStyleItem::Kind::CheckBox},
    {"radiobutton", QStyleItem::Kind::RadioButton},
    {"edit", QStyleItem::Kind::Edit},
    {"spinbox", QStyleItem::Kind::SpinBox},
    {"scrollbar", QStyleItem::Kind::ScrollBar},
    {"widget", QStyleItem::Kind::Widget},
    {"focusframe", QStyleItem::Kind::FocusFrame},
    {"dial", QStyleItem::Kind::Dial},
    {"statusbar", QStyleItem::Kind::StatusBar},
    {"machelpbutton", QStyleItem::Kind::MacHelpButton},
    {"scrollareacorner", QStyleItem::Kind::ScrollAreaCorner},
};

} // namespace

QStyleItem::QStyleItem(QQuickItem* parent)
    : QQuickPaintedItem(parent), m_elementType(QString(QChar(0)))
{
    setFlag(ItemHasContents, true);
    setSmooth(true);
    setAntialiasing(true);

    for (auto changed : {&QStyleItem::infoChanged, &QStyleItem::onChanged,
                         &QStyleItem::selectedChanged, &QStyleItem::activeChanged,
                         &QStyleItem::textChanged, &QStyleItem::raisedChanged,
                         &QStyleItem::sunkenChanged, &QStyleItem::hoverChanged,
                         &QStyleItem::maximumChanged, &QStyleItem::minimumChanged,
                         &QStyleItem::valueChanged, &QStyleItem::horizontalChanged,
                         &QStyleItem::activeControlChanged, &QStyleItem::hasFocusChanged,
                         &QStyleItem::elementTypeChanged})
        connect(this, changed, this, &QStyleItem::updateItem);
    // A control enabled or disabled later is drawn in its new state.
    connect(this, &QQuickItem::enabledChanged, this, &QStyleItem::updateItem);
    connect(this, &QStyleItem::textChanged, this, &QStyleItem::updateSizeHint);
    connect(this, &QStyleItem::contentWidthChanged, this, &QStyleItem::updateSizeHint);
    connect(this, &QStyleItem::contentHeightChanged, this, &QStyleItem::updateSizeHint);
}

QStyleItem::~QStyleItem()
{
    releaseWidget();
}

QString QStyleItem::styleNameOf(const QString& className)
{
    QString name = className.toLower();
    if (name.contains(QLatin1String("oxygen")))
        return QStringLiteral("oxygen");
    if (name.startsWith(QLatin1Char('q')))
        name.remove(0, 1);
    if (name.endsWith(QLatin1String("style")))
        name.chop(5);
    return name;
}

QString QStyleItem::style() const
{
    return styleNameOf(QString::fromLatin1(QApplication::style()->metaObject()->className()));
}

void QStyleItem::setSunken(bool value) { assign(this, m_sunken, value, &QStyleItem::sunkenChanged); }
void QStyleItem::setRaised(bool value) { assign(this, m_raised, value, &QStyleItem::raisedChanged); }
void QStyleItem::setActive(bool value) { assign(this, m_active, value, &QStyleItem::activeChanged); }
void QStyleItem::setSelected(bool value) { assign(this, m_selected, value, &QStyleItem::selectedChanged); }
void QStyleItem::setStyleHasFocus(bool value) { assign(this, m_hasFocus, value, &QStyleItem::hasFocusChanged); }
void QStyleItem::setOn(bool value) { assign(this, m_on, value, &QStyleItem::onChanged); }
void QStyleItem::setHover(bool value) { assign(this, m_hover, value, &QStyleItem::hoverChanged); }
void QStyleItem::setHorizontal(bool value) { assign(this, m_horizontal, value, &QStyleItem::horizontalChanged); }
void QStyleItem::setText(const QString& value) { assign(this, m_text, value, &QStyleItem::textChanged); }
void QStyleItem::setActiveControl(const QString& value) { assign(this, m_activeControl, value, &QStyleItem::activeControlChanged); }
void QStyleItem::setInfo(const QString& value) { assign(this, m_info, value, &QStyleItem::infoChanged); }
void QStyleItem::setHint(const QString& value) { assign(this, m_hint, value, &QStyleItem::hintChanged); }
void QStyleItem::setMinimum(int value) { assign(this, m_minimum, value, &QStyleItem::minimumChanged); }
void QStyleItem::setMaximum(int value) { assign(this, m_maximum, value, &QStyleItem::maximumChanged); }
void QStyleItem::setValue(int value) { assign(this, m_value, value, &QStyleItem::valueChanged); }
void QStyleItem::setStep(int value) { assign(this, m_step, value, &QStyleItem::stepChanged); }
void QStyleItem::setPaintMargins(int value)
{
    // Beyond what a widget can be a margin means nothing, and could overflow.
    value = qBound(-QWIDGETSIZE_MAX, value, QWIDGETSIZE_MAX);
    assign(this, m_paintMargins, value, &QStyleItem::paintMarginsChanged);
}

void QStyleItem::setContentWidth(int width)
{
    if (width == m_contentWidth)
        return;
    m_contentWidth = width;
    emit contentWidthChanged(width);
}

void QStyleItem::setContentHeight(int height)
{
    if (height == m_contentHeight)
        return;
    m_contentHeight = height;
    emit contentHeightChanged(height);
}

void QStyleItem::releaseWidget()
{
    if (m_widget && !m_sharedWidget)
        delete m_widget.data();
    m_widget = nullptr;
    m_sharedWidget = false;
}

void QStyleItem::setElementType(const QString& name)
{
    if (name == m_elementType)
        return;
    m_elementType = name;
    emit elementTypeChanged();

    // A shared widget kept from the previous kind is let go too, so that a
    // kind without widget draws without one.
    releaseWidget();
    m_option.reset();
    bindKind(name);
    if (m_widget)
        prepareWidget();
    updateSizeHint();
}

void QStyleItem::bindKind(const QString& name)
{
    const ElementBinding* found = nullptr;
    for (const ElementBinding& binding : elementTable) {
        if (name == QLatin1String(binding.name)) {
            found = &binding;
            break;
        }
    }
    if (!found)
        return; // the kind stays as it was
    m_kind = found->kind;

    auto useShared = [this](QWidget* widget) {
        m_widget = widget;
        m_sharedWidget = true;
    };
    auto useOwn = [this](QWidget* widget) {
        m_widget = widget;
        m_sharedWidget = false;
    };
    switch (m_kind) {
    case Kind::Menu:
    case Kind::MenuItem:
        useShared(StyleWidgets::menu());
        break;
    case Kind::Item:
    case Kind::ItemRow:
        StyleWidgets::treeView()->setAttribute(Qt::WA_MacMiniSize);
        useShared(StyleWidgets::treeView());
        break;
    case Kind::Header: {
        QTreeView* tree = StyleWidgets::treeView();
        tree->setAttribute(Qt::WA_MacMiniSize);
        QHeaderView* header = tree->header();
        if (style() == QLatin1String("mac")) {
            QFont font = header->font();
            font.setPointSize(11);
            header->setFont(font);
        }
        useShared(header);
        break;
    }
    case Kind::GroupBox:
        useShared(StyleWidgets::groupBox());
        break;
    case Kind::TabFrame:
        useShared(StyleWidgets::tabWidget());
        break;
    case Kind::Tab:
        useShared(StyleWidgets::tabWidget()->findChild<QTabBar*>());
        break;
    case Kind::ComboBoxItem:
        useShared(StyleWidgets::comboBox());
        break;
    case Kind::ToolBar:
        useShared(StyleWidgets::toolBar());
        break;
    case Kind::ToolButton:
        // Under oxygen the item takes the shared button only if another
        // style made it already.
        if (style() != QLatin1String("oxygen"))
            useShared(StyleWidgets::toolButton());
        else if (QToolButton* existing = StyleWidgets::existingToolButton())
            useShared(existing);
        break;
    case Kind::Slider:
        useShared(StyleWidgets::slider());
        break;
    case Kind::Frame:
        useShared(StyleWidgets::frame());
        break;
    case Kind::ComboBox:
        useOwn(new QComboBox);
        break;
    case Kind::ProgressBar:
        useOwn(new QProgressBar);
        break;
    case Kind::Button:
        useOwn(new QPushButton);
        break;
    case Kind::CheckBox:
        useOwn(new QCheckBox);
        break;
    case Kind::RadioButton:
        useOwn(new QRadioButton);
        break;
    case Kind::Edit:
        useOwn(new QLineEdit);
        break;
    case Kind::ScrollBar:
        useOwn(new QScrollBar);
        break;
    default:
        break; // drawn without a widget
    }
}

void QStyleItem::prepareWidget()
{
    m_widget->installEventFilter(this);
    m_widget->setAttribute(Qt::WA_QuitOnClose, false);
    m_widget->setAttribute(Qt::WA_LayoutUsesWidgetRect);
    m_widget->winId();
    m_widget->setAttribute(Qt::WA_DontShowOnScreen);
    // Never on screen; being "shown" only tells the style that the widget
    // is, which some styles need before they animate it.
    m_widget->setVisible(!m_sharedWidget);
}

QFont QStyleItem::currentFont() const
{
    return m_widget ? m_widget->font() : QApplication::font();
}

QString QStyleItem::fontFamily() const { return currentFont().family(); }
double QStyleItem::fontPointSize() const { return currentFont().pointSizeF(); }
int QStyleItem::fontHeight() const { return QFontMetrics(currentFont()).height(); }

void QStyleItem::updateSizeHint()
{
    const QSize size = computeSizeHint(m_contentWidth, m_contentHeight);
    setImplicitSize(size.width(), size.height());
}

void QStyleItem::updateItem()
{
    update();
}

QString QStyleItem::elidedText(const QString& text, int elideMode, int width)
{
    const int mode = qBound(int(Qt::ElideLeft), elideMode, int(Qt::ElideNone));
    return QFontMetrics(QApplication::font()).elidedText(text, Qt::TextElideMode(mode), width);
}

int QStyleItem::textWidth(const QString& text)
{
    return QFontMetrics(currentFont()).boundingRect(text).width();
}

bool QStyleItem::hasThemeIcon(const QString& name) const
{
    return QIcon::hasThemeIcon(name);
}

bool QStyleItem::eventFilter(QObject* watched, QEvent* event)
{
    // The hidden widget asks to be repainted: the item is its picture.
    if (event->type() == QEvent::Paint && watched == m_widget) {
        updateItem();
        return true;
    }
    return QQuickPaintedItem::eventFilter(watched, event);
}

} // namespace Desktop
