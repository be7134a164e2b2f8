#include "DesktopGallery.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPainter>
#include <QPalette>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>

#include <iterator>
#include <memory>

namespace Gui {

namespace {

// How one control is declared, and what each state sets on it; an empty
// state text means the control has no such state.
struct ControlSpec {
    const char* name;
    const char* declaration;
    const char* pressed;
    const char* checked;
    bool focusable = true;
    int rowHeight = 44;
};

const ControlSpec controls[] = {
    {"Button", "Desktop.Button { text: \"Button\" }", "pressed: true", "checkable: true; checked: true"},
    {"ToolButton", "Desktop.ToolButton { text: \"Tool\" }", "pressed: true", "checkable: true; checked: true"},
    {"CheckBox", "Desktop.CheckBox { text: \"Check box\" }", "pressed: true", "checked: true"},
    {"ComboBox",
     "Desktop.ComboBox { Desktop.MenuItem { text: \"First entry\" } "
     "Desktop.MenuItem { text: \"Second\" } }",
     "pressed: true", ""},
    {"Slider", "Desktop.Slider { width: 160; minimumValue: 0; maximumValue: 10; value: 4 }",
     "pressed: true", ""},
    {"TextField", "Desktop.TextField { text: \"Some text\" }", "", ""},
    {"SpinBox", "Desktop.SpinBox { value: 42 }", "upPressed: true", ""},
    {"ProgressBar", "Desktop.ProgressBar { width: 160; value: 60 }", "", "", false},
    {"ScrollBar",
     "Desktop.ScrollBar { width: 160; maximumValue: 300; value: 100 }", "pressed: true", "", false},
    {"ScrollArea",
     "Desktop.ScrollArea { width: 160; height: 90; highlightOnFocus: true; "
     "Rectangle { width: 300; height: 200; color: \"#ffffff\"; "
     "Text { x: 6; y: 6; text: \"Scrolled content\" } } }",
     "", "", true, 110},
};

constexpr int cellWidth = 190;
constexpr int labelWidth = 100;
constexpr int headerHeight = 28;
constexpr int padding = 10;

int galleryHeight()
{
    int height = headerHeight;
    for (const ControlSpec& control : controls)
        height += control.rowHeight;
    return height;
}

QString cellDocument(const ControlSpec& control, const QString& state)
{
    QString settings;
    if (state == QLatin1String("pressed"))
        settings = QString::fromLatin1(control.pressed);
    else if (state == QLatin1String("checked"))
        settings = QString::fromLatin1(control.checked);
    else if (state == QLatin1String("disabled"))
        settings = QStringLiteral("enabled: false");
    QString declaration = QString::fromLatin1(control.declaration);
    // The state's settings go in before the declaration's closing brace.
    const int closing = declaration.lastIndexOf(QLatin1Char('}'));
    declaration.insert(closing, QStringLiteral("\nid: control; x: %1\n"
                                               "anchors.verticalCenter: parent.verticalCenter\n%2\n")
                                    .arg(padding)
                                    .arg(settings));
    return QStringLiteral("import QtQuick 2.15\n"
                          "import \"qrc:/gui/qml/desktop\" as Desktop\n"
                          "Item { width: %1; height: %2\n%3\n}\n")
        .arg(cellWidth)
        .arg(control.rowHeight)
        .arg(declaration);
}

bool hasState(const ControlSpec& control, const QString& state)
{
    if (state == QLatin1String("pressed"))
        return *control.pressed != '\0';
    if (state == QLatin1String("checked"))
        return *control.checked != '\0';
    if (state == QLatin1String("focused"))
        return control.focusable;
    return true;
}

struct RenderedCell {
    QImage image;
    QRect controlRect;
    bool focused = false;
};

RenderedCell renderCell(QQmlEngine& engine, const QString& document, bool focus,
                        QStringList& errors)
{
    RenderedCell rendered;
    QQmlComponent component(&engine);
    component.setData(document.toUtf8(), QUrl(QStringLiteral("qrc:/gui/gallery/cell.qml")));
    std::unique_ptr<QObject> root(component.create());
    auto* rootItem = qobject_cast<QQuickItem*>(root.get());
    if (!rootItem) {
        for (const QQmlError& error : component.errors())
            errors.append(error.toString());
        return rendered;
    }
    QQuickView view(&engine, nullptr);
    view.setResizeMode(QQuickView::SizeViewToRootObject);
    view.setColor(QApplication::palette().color(QPalette::Window));
    view.setContent(QUrl(), nullptr, rootItem);
    root.release(); // the view owns its root item now
    view.show();
    QQuickItem* control = rootItem->childItems().value(0);
    if (control) {
        if (focus)
            control->forceActiveFocus();
        rendered.focused = control->hasActiveFocus();
        rendered.controlRect =
            control->mapRectToScene(QRectF(0, 0, control->width(), control->height())).toRect();
    }
    QCoreApplication::processEvents();
    rendered.image = view.grabWindow();
    return rendered;
}

} // namespace

QStringList galleryStates()
{
    return {QStringLiteral("normal"), QStringLiteral("pressed"), QStringLiteral("checked"),
            QStringLiteral("disabled"), QStringLiteral("focused")};
}

Gallery renderDesktopGallery()
{
    Gallery gallery;
    const QStringList states = galleryStates();
    const int rows = int(std::size(controls));
    gallery.image = QImage(labelWidth + cellWidth * states.size(), galleryHeight(),
                           QImage::Format_ARGB32_Premultiplied);
    const QPalette palette = QApplication::palette();
    gallery.image.fill(palette.color(QPalette::Window));

    QPainter painter(&gallery.image);
    painter.setFont(QApplication::font());
    painter.setPen(palette.color(QPalette::WindowText));
    for (int column = 0; column < states.size(); ++column)
        painter.drawText(QRect(labelWidth + column * cellWidth, 0, cellWidth, headerHeight),
                         Qt::AlignCenter, states[column]);

    QQmlEngine engine;
    int top = headerHeight;
    for (int row = 0; row < rows; ++row) {
        const ControlSpec& control = controls[row];
        painter.setPen(palette.color(QPalette::WindowText));
        painter.drawText(QRect(padding, top, labelWidth - padding, control.rowHeight),
                         Qt::AlignVCenter | Qt::AlignLeft, QString::fromLatin1(control.name));
        for (int column = 0; column < states.size(); ++column) {
            const QString& state = states[column];
            if (!hasState(control, state))
                continue;
            const QPoint origin(labelWidth + column * cellWidth, top);
            const RenderedCell rendered =
                renderCell(engine, cellDocument(control, state),
                           state == QLatin1String("focused"), gallery.errors);
            if (rendered.image.isNull())
                continue;
            painter.drawImage(origin, rendered.image);
            GalleryCell cell;
            cell.control = QString::fromLatin1(control.name);
            cell.state = state;
            cell.area = QRect(origin, QSize(cellWidth, control.rowHeight));
            cell.controlRect = rendered.controlRect.translated(origin);
            cell.focused = rendered.focused;
            gallery.cells.append(cell);
        }
        top += control.rowHeight;
    }
    return gallery;
}

} // namespace Gui
