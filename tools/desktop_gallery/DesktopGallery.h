#pragma once
// A picture of the desktop widget set: every control of
// "qrc:/gui/qml/desktop" in its normal, pressed, checked, disabled and
// focused states, one row per control, drawn by the application's style.
// Each cell is rendered in a window of its own (only one item of a window
// can have the keyboard focus), then the cells are laid out in one image
// with the control and state names. Needs the "Gui" and "Desktop" types
// registered (GuiDesktopTypes) and a QApplication; GUI thread only.

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

namespace Gui {

struct GalleryCell {
    QString control;    // the component's name, "Button" ...
    QString state;      // "normal", "pressed", "checked", "disabled", "focused"
    QRect area;         // the cell in the gallery image
    QRect controlRect;  // the control itself in the gallery image
    bool focused = false; // the control had the keyboard focus when drawn
};

struct Gallery {
    QImage image;
    QList<GalleryCell> cells; // states a control does not have are left out
    QStringList errors;       // QML errors, empty when every cell was made
};

QStringList galleryStates();
Gallery renderDesktopGallery();

} // namespace Gui
