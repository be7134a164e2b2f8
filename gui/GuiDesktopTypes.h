#pragma once
// Registration of the QML modules "Gui" 1.0 (DropArea, CursorShapeArea) and
// "Desktop" 0.1 (the desktop widget set's native items), and of the widget
// set's compiled-in QML under "qrc:/gui/qml/desktop".
//
// Counted: every owner of the toolkit (the application's start-up, a test
// program) holds one GuiDesktopTypes guard, or calls the two functions in
// pairs; only the first registers, so the types are registered once per
// process however many owners there are. Call it on the GUI thread, after
// the application object exists and before a view that imports the modules
// is loaded.

namespace Gui {

// Registers on the first call; returns whether this call registered.
bool registerGuiDesktopTypes();
// Counts one owner less; registers nothing and unregisters nothing.
void releaseGuiDesktopTypes();

class GuiDesktopTypes {
public:
    GuiDesktopTypes() { registerGuiDesktopTypes(); }
    ~GuiDesktopTypes() { releaseGuiDesktopTypes(); }
    GuiDesktopTypes(const GuiDesktopTypes&) = delete;
    GuiDesktopTypes& operator=(const GuiDesktopTypes&) = delete;
};

} // namespace Gui
