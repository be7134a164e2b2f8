import QtQuick 2.15
import Desktop 0.1 as Native

// A check box with its label, drawn by the platform's style.
Item {
    id: checkbox

    property string text
    property bool checked: false
    property bool pressed: mouseArea.pressed && mouseArea.containsMouse
    readonly property bool hovered: mouseArea.containsMouse

    signal clicked()

    function toggle() {
        checked = !checked
        clicked()
    }

    activeFocusOnTab: true
    implicitWidth: styleitem.implicitWidth
    implicitHeight: styleitem.implicitHeight

    TextMetrics { id: label; text: checkbox.text }

    Native.StyleItem {
        id: styleitem
        anchors.fill: parent
        elementType: "checkbox"
        text: checkbox.text
        on: checkbox.checked
        sunken: checkbox.pressed
        hover: checkbox.hovered
        hasFocus: checkbox.activeFocus
        enabled: checkbox.enabled
        // The label's rectangle as the style lays it out, with the pixel
        // each way that native check boxes keep for etched text.
        contentWidth: Math.ceil(label.advanceWidth) + 1
        contentHeight: fontHeight + 1
    }

    MouseArea {
        id: mouseArea
        anchors.fill: parent
        hoverEnabled: true
        enabled: checkbox.enabled
        onClicked: checkbox.toggle()
    }

    Keys.onSpacePressed: checkbox.toggle()
}
