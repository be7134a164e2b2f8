import QtQuick 2.15
import Desktop 0.1 as Native

// A push button drawn by the platform's style.
Item {
    id: button

    property string text
    property string tooltip
    property bool checkable: false
    property bool checked: false
    property bool defaultbutton: false
    property bool pressed: mouseArea.pressed && mouseArea.containsMouse || keyPressed
    readonly property bool hovered: mouseArea.containsMouse
    property bool keyPressed: false

    signal clicked()

    function click() {
        if (checkable)
            checked = !checked
        clicked()
    }

    activeFocusOnTab: true
    implicitWidth: styleitem.implicitWidth
    implicitHeight: styleitem.implicitHeight

    Native.StyleItem {
        id: styleitem
        anchors.fill: parent
        elementType: "button"
        text: button.text
        sunken: button.pressed || button.checked
        raised: !sunken
        on: button.checked
        hover: button.hovered
        hasFocus: button.activeFocus
        enabled: button.enabled
        activeControl: button.defaultbutton ? "default" : ""
        contentHeight: fontHeight
    }

    Native.TooltipArea {
        anchors.fill: parent
        text: button.tooltip

        MouseArea {
            id: mouseArea
            anchors.fill: parent
            hoverEnabled: true
            enabled: button.enabled
            onClicked: button.click()
        }
    }

    Keys.onPressed: function(event) {
        if (event.key === Qt.Key_Space && !event.isAutoRepeat) {
            button.keyPressed = true
            event.accepted = true
        }
    }
    Keys.onReleased: function(event) {
        if (event.key === Qt.Key_Space && !event.isAutoRepeat && button.keyPressed) {
            button.keyPressed = false
            button.click()
            event.accepted = true
        }
    }
}
