import QtQuick 2.15
import Desktop 0.1 as Native

// A flat tool-bar button with an icon, a text under it, or both; raised
// while the pointer is on it. `trigger()` runs it as a click does.
Item {
    id: button

    property string text
    property string tooltip
    property string iconSource
    property int iconSize: 16
    property bool checkable: false
    property bool checked: false
    property bool pressed: mouseArea.pressed && mouseArea.containsMouse
    readonly property bool hovered: mouseArea.containsMouse

    signal clicked()

    function trigger() {
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
        elementType: "toolbutton"
        sunken: button.pressed || button.checked
        raised: !sunken && button.hovered
        on: button.checked
        hover: button.hovered
        hasFocus: button.activeFocus
        enabled: button.enabled
        contentWidth: content.implicitWidth
        contentHeight: content.implicitHeight
    }

    Column {
        id: content
        anchors.centerIn: parent
        spacing: 2
        opacity: button.enabled ? 1 : 0.5

        Image {
            anchors.horizontalCenter: parent.horizontalCenter
            source: button.iconSource
            visible: button.iconSource !== ""
            width: visible ? button.iconSize : 0
            height: visible ? button.iconSize : 0
            sourceSize.width: button.iconSize
            sourceSize.height: button.iconSize
            fillMode: Image.PreserveAspectFit
            smooth: true
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: button.text
            visible: button.text !== ""
            color: palette.buttonText
        }
    }

    SystemPalette { id: palette; colorGroup: button.enabled ? SystemPalette.Active : SystemPalette.Disabled }

    Native.TooltipArea {
        anchors.fill: parent
        text: button.tooltip

        MouseArea {
            id: mouseArea
            anchors.fill: parent
            hoverEnabled: true
            enabled: button.enabled
            onClicked: button.trigger()
        }
    }

    Keys.onSpacePressed: button.trigger()
}
