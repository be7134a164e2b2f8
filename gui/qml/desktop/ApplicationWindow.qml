import QtQuick 2.15

// The root of a main view: a plain item in the window colour. The window
// around it (title, tool bar, menus) belongs to the host that shows it.
Rectangle {
    id: window

    width: 640
    height: 480
    color: palette.window

    SystemPalette { id: palette; colorGroup: SystemPalette.Active }
}
