import QtQuick 2.15
import Desktop 0.1 as Native

// A horizontal slider drawn by the platform's style. `value` stays within
// [minimumValue, maximumValue] on multiples of `stepSize` (0: any value);
// dragging the handle or clicking the groove moves it, as do the arrow,
// Page and Home/End keys.
Item {
    id: slider

    property alias minimumValue: range.minimumValue
    property alias maximumValue: range.maximumValue
    property alias stepSize: range.stepSize
    property alias value: range.value
    property bool pressed: mouseArea.pressed
    readonly property bool hovered: mouseArea.containsMouse

    activeFocusOnTab: true
    implicitWidth: 200
    implicitHeight: styleitem.implicitHeight

    Native.RangeModel {
        id: range
        minimumValue: 0
        maximumValue: 1
        positionAtMinimum: 0
        positionAtMaximum: Math.max(0, slider.width - slider.handleLength)
    }

    // The style's handle length, asked again whenever the size changes.
    property int handleLength: 0
    function measureHandle() {
        var handle = styleitem.subControlRect("handle")
        handleLength = handle.width
        styleitem.contentHeight = handle.height
    }
    onWidthChanged: measureHandle()
    onHeightChanged: measureHandle()
    Component.onCompleted: measureHandle()

    Native.StyleItem {
        id: styleitem
        anchors.fill: parent
        elementType: "slider"
        minimum: 0
        maximum: Math.max(1, Math.round(range.positionAtMaximum))
        value: Math.round(range.position)
        sunken: slider.pressed
        hover: slider.hovered
        hasFocus: slider.activeFocus
        enabled: slider.enabled
        contentWidth: 84
    }

    MouseArea {
        id: mouseArea

        property real grabOffset: 0

        anchors.fill: parent
        hoverEnabled: true
        enabled: slider.enabled
        onPressed: function(mouse) {
            slider.forceActiveFocus()
            var handle = styleitem.subControlRect("handle")
            if (styleitem.hitTest(mouse.x, mouse.y) === "handle") {
                grabOffset = mouse.x - handle.x
            } else {
                // A click on the groove brings the handle's middle there.
                grabOffset = handle.width / 2
                range.position = mouse.x - grabOffset
            }
        }
        onPositionChanged: function(mouse) {
            if (pressed)
                range.position = mouse.x - grabOffset
        }
    }

    function stepBy(steps) {
        var step = range.stepSize > 0 ? range.stepSize
                                      : (range.maximumValue - range.minimumValue) / 100
        range.value = Math.max(range.minimumValue,
                               Math.min(range.maximumValue, range.value + steps * step))
    }

    Keys.onLeftPressed: stepBy(-1)
    Keys.onRightPressed: stepBy(1)
    Keys.onPressed: function(event) {
        if (event.key === Qt.Key_PageUp) stepBy(10)
        else if (event.key === Qt.Key_PageDown) stepBy(-10)
        else if (event.key === Qt.Key_Home) range.toMinimum()
        else if (event.key === Qt.Key_End) range.toMaximum()
        else return
        event.accepted = true
    }
}
