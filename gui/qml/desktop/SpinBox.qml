import QtQuick 2.15
import Desktop 0.1 as Native

// A number field with up and down buttons, drawn by the platform's style.
// `value` stays within [minimumValue, maximumValue]; the buttons, the arrow
// keys and the wheel step it by `singleStep`.
FocusScope {
    id: spinbox

    property real minimumValue: 0
    property real maximumValue: 99
    property real value: 0
    property real singleStep: 1
    property int decimals: 0
    property bool upPressed: mouseArea.pressed && mouseArea.control === "up"
    property bool downPressed: mouseArea.pressed && mouseArea.control === "down"
    readonly property bool hovered: mouseArea.containsMouse

    function setValue(v) {
        value = Math.max(minimumValue, Math.min(maximumValue, v))
    }
    function increment() { setValue(value + singleStep) }
    function decrement() { setValue(value - singleStep) }

    activeFocusOnTab: true
    implicitWidth: styleitem.implicitWidth
    implicitHeight: styleitem.implicitHeight

    SystemPalette { id: palette; colorGroup: spinbox.enabled ? SystemPalette.Active : SystemPalette.Disabled }
    TextMetrics { id: minimumText; text: spinbox.minimumValue.toFixed(spinbox.decimals) + " " }
    TextMetrics { id: maximumText; text: spinbox.maximumValue.toFixed(spinbox.decimals) + " " }

    Native.StyleItem {
        id: styleitem
        anchors.fill: parent
        elementType: "spinbox"
        // Bits: up pressed, down pressed, up enabled, down enabled.
        value: (spinbox.upPressed ? 1 : 0) | (spinbox.downPressed ? 2 : 0)
               | (spinbox.value < spinbox.maximumValue ? 4 : 0)
               | (spinbox.value > spinbox.minimumValue ? 8 : 0)
        sunken: spinbox.upPressed || spinbox.downPressed
        hover: spinbox.hovered
        hasFocus: spinbox.activeFocus
        enabled: spinbox.enabled
        // The longer of the two limits, and room for the cursor.
        contentWidth: Math.round(Math.max(minimumText.advanceWidth, maximumText.advanceWidth)) + 2
        // The field inside: a text field of the style less its frame's
        // line on either side, as the box draws the frame.
        contentHeight: editMetrics.implicitHeight - 2
    }

    Native.StyleItem {
        id: editMetrics
        visible: false
        elementType: "edit"
        contentHeight: Math.max(fontHeight, 14) + 2
    }

    property rect editRect: Qt.rect(0, 0, 0, 0)
    function measure() { editRect = styleitem.subControlRect("edit") }
    onWidthChanged: measure()
    onHeightChanged: measure()
    Component.onCompleted: measure()

    TextInput {
        id: input
        x: spinbox.editRect.x + 2
        y: spinbox.editRect.y
        width: Math.max(0, spinbox.editRect.width - 4)
        height: spinbox.editRect.height
        verticalAlignment: TextInput.AlignVCenter
        clip: true
        focus: true
        selectByMouse: true
        color: palette.text
        selectionColor: palette.highlight
        selectedTextColor: palette.highlightedText
        text: spinbox.value.toFixed(spinbox.decimals)
        validator: DoubleValidator {
            bottom: spinbox.minimumValue
            top: spinbox.maximumValue
            decimals: spinbox.decimals
            notation: DoubleValidator.StandardNotation
        }
        onEditingFinished: spinbox.setValue(Number(text))
    }

    MouseArea {
        id: mouseArea

        property string control: ""

        anchors.fill: parent
        hoverEnabled: true
        enabled: spinbox.enabled
        acceptedButtons: Qt.LeftButton
        onPressed: function(mouse) {
            control = styleitem.hitTest(mouse.x, mouse.y)
            if (control === "up") spinbox.increment()
            else if (control === "down") spinbox.decrement()
            else mouse.accepted = false
        }
        onReleased: control = ""
        onWheel: function(wheel) {
            if (wheel.angleDelta.y > 0) spinbox.increment()
            else if (wheel.angleDelta.y < 0) spinbox.decrement()
        }
    }

    Keys.onUpPressed: increment()
    Keys.onDownPressed: decrement()
}
