import QtQuick 2.15
import Desktop 0.1 as Native

// A one-line text field in the platform's frame. `validator` limits what
// may be typed; `accepted()` comes on Return when the input is acceptable,
// `editingFinished()` then and when the field loses the focus.
FocusScope {
    id: textfield

    property alias text: input.text
    property alias validator: input.validator
    property alias readOnly: input.readOnly
    property alias acceptableInput: input.acceptableInput
    property alias echoMode: input.echoMode
    property alias horizontalAlignment: input.horizontalAlignment
    property alias font: input.font
    property string placeholderText
    readonly property bool hovered: mouseArea.containsMouse

    signal accepted()
    signal editingFinished()

    function selectAll() { input.selectAll() }
    function select(start, end) { input.select(start, end) }

    activeFocusOnTab: true
    implicitWidth: styleitem.implicitWidth
    implicitHeight: styleitem.implicitHeight

    SystemPalette { id: palette; colorGroup: textfield.enabled ? SystemPalette.Active : SystemPalette.Disabled }
    TextMetrics { id: letter; text: "x"; font: input.font }

    Native.StyleItem {
        id: styleitem
        anchors.fill: parent
        elementType: "edit"
        sunken: true
        hasFocus: textfield.activeFocus
        hover: textfield.hovered
        enabled: textfield.enabled
        // Room for about seventeen letters, as a native field asks for.
        contentWidth: Math.round(letter.advanceWidth) * 17 + 4
        contentHeight: Math.max(fontHeight, 14) + 2
    }

    MouseArea {
        id: mouseArea
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.IBeamCursor
        acceptedButtons: Qt.NoButton
    }

    TextInput {
        id: input
        anchors.fill: parent
        anchors.leftMargin: styleitem.pixelMetric("defaultframewidth") + 2
        anchors.rightMargin: styleitem.pixelMetric("defaultframewidth") + 2
        verticalAlignment: TextInput.AlignVCenter
        clip: true
        focus: true
        selectByMouse: true
        color: palette.text
        selectionColor: palette.highlight
        selectedTextColor: palette.highlightedText
        onAccepted: textfield.accepted()
        onEditingFinished: textfield.editingFinished()
    }

    Text {
        anchors.fill: input
        verticalAlignment: Text.AlignVCenter
        text: textfield.placeholderText
        visible: input.text === "" && !input.activeFocus
        color: palette.mid
        elide: Text.ElideRight
    }
}
