import QtQuick 2.0

// Lists of the wrong kind are not tool bars or menus.
Item {
    width: 100
    height: 100
    property var dialogToolBar: []
    property list<QtObject> dialogMenu: [ QtObject { property string text: "File" } ]
}
