import QtQuick 2.15
import Desktop 0.1 as Native

// A scroll bar drawn by the platform's style. `value` runs from
// `minimumValue` to `maximumValue` (content pixels); the arrows move it by
// `singleStep`, a click beside the handle by `pageStep`, and the handle
// drags it.
Item {
    id: scrollbar

    property int orientation: Qt.Horizontal
    property alias minimumValue: range.minimumValue
    property alias maximumValue: range.maximumValue
    property alias value: range.value
    property real singleStep: 20
    property real pageStep: horizontal ? width : height
    property bool pressed: mouseArea.pressed
    readonly property bool hovered: mouseArea.containsMouse
    readonly property bool horizontal: orientation === Qt.Horizontal
    readonly property int extent: styleitem.pixelMetric("scrollbarExtent") - 1

    implicitWidth: horizontal ? 200 : extent
    implicitHeight: horizontal ? extent : 200

    Native.RangeModel {
        id: range
        minimumValue: 0
        maximumValue: 0
    }

    Native.StyleItem {
        id: styleitem
        anchors.fill: parent
        elementType: "scrollbar"
        horizontal: scrollbar.horizontal
        minimum: Math.round(range.minimumValue)
        maximum: Math.round(range.maximumValue)
        value: Math.round(range.value)
        sunken: scrollbar.pressed
        hover: scrollbar.hovered
        activeControl: mouseArea.control
        enabled: scrollbar.enabled
    }

    Native.WheelArea {
        anchors.fill: parent
        onVerticalWheelMoved: scrollbar.stepBy(-verticalDelta)
        onHorizontalWheelMoved: scrollbar.stepBy(-horizontalDelta)
    }

    function stepBy(amount) {
        range.value = Math.max(range.minimumValue,
                               Math.min(range.maximumValue, range.value + amount))
    }

    Timer {
        id: repeater
        interval: 50
        repeat: true
        onTriggered: mouseArea.act()
    }

    MouseArea {
        id: mouseArea

        property string control: ""
        property real grabStart: 0
        property real grabPosition: 0

        function along(mouse) { return scrollbar.horizontal ? mouse.x : mouse.y }
        function act() {
            if (control === "up") scrollbar.stepBy(-scrollbar.singleStep)
            else if (control === "down") scrollbar.stepBy(scrollbar.singleStep)
            else if (control === "upPage") scrollbar.stepBy(-scrollbar.pageStep)
            else if (control === "downPage") scrollbar.stepBy(scrollbar.pageStep)
        }

        anchors.fill: parent
        hoverEnabled: true
        enabled: scrollbar.enabled
        onPressed: function(mouse) {
            control = styleitem.hitTest(mouse.x, mouse.y)
            if (control === "handle") {
                // The handle moves within the groove, less its own length.
                var groove = styleitem.subControlRect("groove")
                var handle = styleitem.subControlRect("handle")
                var start = scrollbar.horizontal ? groove.x : groove.y
                var length = scrollbar.horizontal ? groove.width - handle.width
                                                  : groove.height - handle.height
                range.positionAtMinimum = start
                range.positionAtMaximum = start + Math.max(0, length)
                grabStart = along(mouse)
                grabPosition = range.position
            } else {
                act()
                repeater.restart()
            }
        }
        onPositionChanged: function(mouse) {
            if (pressed && control === "handle")
                range.position = grabPosition + along(mouse) - grabStart
        }
        onReleased: { repeater.stop(); control = "" }
        onCanceled: { repeater.stop(); control = "" }
    }
}
