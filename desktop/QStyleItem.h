#pragma once
// "StyleItem": draws one native desktop control (push button, check box,
// scroll bar, tab, header section, menu ...) with the application's QStyle,
// from state that a QML component supplies through properties (pressed,
// hovered, checked, value, text ...), and answers the geometry questions
// those components ask of the style: named pixel metrics and hints, hit
// tests and sub-control rectangles, the size the style wants for given
// contents (as the item's implicit size), text widths and elided text.
//
// `elementType` picks the kind of control; each kind draws with a hidden
// widget of the matching class, so the style draws as for a real widget:
// some kinds share one widget among all items of the process, others own
// one each, some have none. The item's style option is made for its kind on
// first use. Unknown names give neutral answers (0, "none", a null
// rectangle, an implicit size of -1 x -1). GUI thread only.

#include <QPointer>
#include <QQuickPaintedItem>
#include <QRect>
#include <QString>
#include <QVariant>

#include <memory>

class QStyleOption;
#include <QWidget>

namespace Desktop {

// QStyleOption has no virtual destructor: each option is deleted as the
// class it was made as.
using StyleOptionPtr = std::unique_ptr<QStyleOption, void (*)(QStyleOption*)>;

class QStyleItem : public QQuickPaintedItem {
    Q_OBJECT
    Q_PROPERTY(bool sunken READ sunken WRITE setSunken NOTIFY sunkenChanged)
    Q_PROPERTY(bool raised READ raised WRITE setRaised NOTIFY raisedChanged)
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
    Q_PROPERTY(bool selected READ selected WRITE setSelected NOTIFY selectedChanged)
    Q_PROPERTY(bool hasFocus READ styleHasFocus WRITE setStyleHasFocus NOTIFY hasFocusChanged)
    Q_PROPERTY(bool on READ on WRITE setOn NOTIFY onChanged)
    Q_PROPERTY(bool hover READ hover WRITE setHover NOTIFY hoverChanged)
    Q_PROPERTY(bool horizontal READ horizontal WRITE setHorizontal NOTIFY horizontalChanged)
    Q_PROPERTY(QString elementType READ elementType WRITE setElementType NOTIFY elementTypeChanged)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(QString activeControl READ activeControl WRITE setActiveControl NOTIFY activeControlChanged)
    Q_PROPERTY(QString info READ info WRITE setInfo NOTIFY infoChanged)
    Q_PROPERTY(QString hint READ hint WRITE setHint NOTIFY hintChanged)
    Q_PROPERTY(QString style READ style NOTIFY styleChanged)
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum NOTIFY minimumChanged)
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum NOTIFY maximumChanged)
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY valueChanged)
    Q_PROPERTY(int step READ step WRITE setStep NOTIFY stepChanged)
    Q_PROPERTY(int paintMargins READ paintMargins WRITE setPaintMargins NOTIFY paintMarginsChanged)
    Q_PROPERTY(int contentWidth READ contentWidth WRITE setContentWidth NOTIFY contentWidthChanged)
    Q_PROPERTY(int contentHeight READ contentHeight WRITE setContentHeight NOTIFY contentHeightChanged)
    Q_PROPERTY(QString fontFamily READ fontFamily NOTIFY fontHeightChanged)
    Q_PROPERTY(double fontPointSize READ fontPointSize NOTIFY fontHeightChanged)
    Q_PROPERTY(int fontHeight READ fontHeight NOTIFY fontHeightChanged)

public:
    // The kinds of control, one per name of `elementType`.
    enum class Kind {
        Undefined,
        Menu,
        MenuItem,
        Item,
        ItemRow,
        Header,
        GroupBox,
        TabFrame,
        Tab,
        ComboBoxItem,
        ToolBar,
        ToolButton,
        Slider,
        Frame,
        ComboBox,
        Splitter,
        ProgressBar,
        Button,
        CheckBox,
        RadioButton,
        Edit,
        SpinBox,
        ScrollBar,
        Widget,
        FocusFrame,
        Dial,
        StatusBar,
        MacHelpButton,
        ScrollAreaCorner
    };

    explicit QStyleItem(QQuickItem* parent = nullptr);
    ~QStyleItem() override;

    // The style name of a style class: lower case, without a leading "q" and
    // a trailing "style"; "oxygen" for any class whose name has it.
    static QString styleNameOf(const QString& className);

    bool sunken() const { return m_sunken; }
    void setSunken(bool value);
    bool raised() const { return m_raised; }
    void setRaised(bool value);
    bool active() const { return m_active; }
    void setActive(bool value);
    bool selected() const { return m_selected; }
    void setSelected(bool value);
    bool styleHasFocus() const { return m_hasFocus; }
    void setStyleHasFocus(bool value);
    bool on() const { return m_on; }
    void setOn(bool value);
    bool hover() const { return m_hover; }
    void setHover(bool value);
    bool horizontal() const { return m_horizontal; }
    void setHorizontal(bool value);
    QString elementType() const { return m_elementType; }
    void setElementType(const QString& name);
    QString text() const { return m_text; }
    void setText(const QString& value);
    QString activeControl() const { return m_activeControl; }
    void setActiveControl(const QString& value);
    QString info() const { return m_info; }
    void setInfo(const QString& value);
    QString hint() const { return m_hint; }
    void setHint(const QString& value);
    QString style() const;
    int minimum() const { return m_minimum; }
    void setMinimum(int value);
    int maximum() const { return m_maximum; }
    void setMaximum(int value);
    int value() const { return m_value; }
    void setValue(int value);
    int step() const { return m_step; }
    void setStep(int value);
    int paintMargins() const { return m_paintMargins; }
    void setPaintMargins(int value);
    int contentWidth() const { return m_contentWidth; }
    int contentHeight() const { return m_contentHeight; }
    QString fontFamily() const;
    double fontPointSize() const;
    int fontHeight() const;

    Kind kind() const { return m_kind; }
    QWidget* styleWidget() const { return m_widget; }
    const QStyleOption* styleOption() const { return m_option.get(); }

    // Fills the style option for the current kind and state.
    virtual void initStyleOption();
    QSize computeSizeHint(int width, int height);

    void paint(QPainter* painter) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    int pixelMetric(const QString& metric);
    QVariant styleHint(const QString& metric);
    void updateSizeHint();
    void updateItem();
    QString hitTest(int x, int y);
    QRect subControlRect(const QString& subcontrolString);
    QString elidedText(const QString& text, int elideMode, int width);
    int textWidth(const QString& text);
    bool hasThemeIcon(const QString& name) const;
    void setContentWidth(int width);
    void setContentHeight(int height);

signals:
    void elementTypeChanged();
    void textChanged();
    void sunkenChanged();
    void raisedChanged();
    void activeChanged();
    void selectedChanged();
    void hasFocusChanged();
    void onChanged();
    void hoverChanged();
    void horizontalChanged();
    void minimumChanged();
    void maximumChanged();
    void stepChanged();
    void valueChanged();
    void activeControlChanged();
    void infoChanged();
    void styleChanged();
    void paintMarginsChanged();
    void hintChanged();
    void fontHeightChanged();
    void contentWidthChanged(int width);
    void contentHeightChanged(int height);

private:
    void releaseWidget();
    void bindKind(const QString& name);
    void prepareWidget();
    void setKindFields();
    void setWidgetGeometry();
    void drawItemRow(QPainter* painter);
    QFont currentFont() const;

    // Widget handed to every style call: this item's own or a shared one.
    QPointer<QWidget> m_widget;
    StyleOptionPtr m_option{nullptr, nullptr};
    Kind m_kind = Kind::Undefined;
    QString m_elementType;
    QString m_text;
    QString m_activeControl;
    QString m_info;
    QString m_hint;
    bool m_sunken = false;
    bool m_raised = false;
    bool m_active = true;
    bool m_selected = false;
    bool m_hasFocus = false;
    bool m_hover = false;
    bool m_on = false;
    bool m_horizontal = true;
    bool m_sharedWidget = false;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_value = 0;
    int m_step = 0;
    int m_paintMargins = 0;
    int m_contentWidth = 0;
    int m_contentHeight = 0;
};

} // namespace Desktop
