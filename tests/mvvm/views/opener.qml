import QtQuick 2.0
import Mvvm 1.0 as Mvvm

// A window that opens a file dialog from its menu's Ctrl+O, counting the
// dialogs opened and closed.
Rectangle {
    id: root
    width: 700
    height: 500

    property string dialogTitle: "Opener"
    property int opened: 0
    property int closed: 0
    property var chosen: []

    Mvvm.Dialog { id: dialog }

    function open() {
        opened += 1
        chosen = dialog.showOpenDialog(false, "", "", "Add Photos")
        closed += 1
    }

    property list<Item> dialogMenu: [
        Item {
            property string text: "File"
            property list<Item> submenu: [
                Item {
                    property string text: "Open"
                    property string shortcut: "Ctrl+O"
                    function trigger() { root.open() }
                }
            ]
        }
    ]
}
