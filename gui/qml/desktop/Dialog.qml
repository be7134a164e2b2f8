import QtQuick 2.15
import Desktop 0.1 as Native

// A separate dialog window with its content above a row of "OK" and
// "Cancel" buttons. `open()` shows it; the buttons close it with
// `accepted()` or `rejected()`.
Native.Window {
    id: dialog

    default property alias content: contentArea.data
    property string okText: qsTr("OK")
    property string cancelText: qsTr("Cancel")

    signal accepted()
    signal rejected()

    function open() { visible = true }
    function accept() { visible = false; accepted() }
    function reject() { visible = false; rejected() }

    width: 400
    height: 300
    modal: true

    Rectangle {
        anchors.fill: parent
        color: palette.window

        SystemPalette { id: palette; colorGroup: SystemPalette.Active }

        Item {
            id: contentArea
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.bottom: buttons.top
            anchors.margins: 12
        }

        Row {
            id: buttons
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.margins: 12
            spacing: 8
            layoutDirection: styleitem.style === "mac" ? Qt.RightToLeft : Qt.LeftToRight

            Button { text: dialog.okText; defaultbutton: true; onClicked: dialog.accept() }
            Button { text: dialog.cancelText; onClicked: dialog.reject() }
        }

        Native.StyleItem { id: styleitem; visible: false }
    }
}
