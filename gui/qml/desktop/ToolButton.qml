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
        // Laid out as a native tool button: the text with a blank either
        // side, under the icon when there is one.
        contentWidth: Math.max(hasIcon ? button.iconSize : 0,
                               hasText ? Math.ceil(label.advanceWidth) + 2 * Math.round(blank.advanceWidth) : 0)
        contentHeight: (hasIcon ? button.iconSize : 0) + (hasIcon && hasText ? 4 : 0)
                       + (hasText ? fontHeight : 0)
        readonly property bool hasIcon: button.iconSource !== ""
        readonly property bool hasText: button.text !== ""
    }

    TextMetrics { id: label; text: button.text }
    TextMetrics { id: blank; text: " " }

    Column {
        id: content
        anchors.centerIn: parent
        spacing: 4
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
