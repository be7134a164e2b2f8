import QtQuick 2.15
import Desktop 0.1 as Native

// A framed viewport onto larger content, with scroll bars that appear when
// the content does not fit and mouse-wheel scrolling (`scrollSpeed` times
// the usual step). The items declared in it are the content; its size is
// `contentWidth` x `contentHeight`, by default that of the items.
FocusScope {
    id: scrollarea

    default property alias data: content.data
    property bool frame: true
    property bool highlightOnFocus: false
    property color color: "transparent"
    property real contentWidth: content.childrenRect.x + content.childrenRect.width
    property real contentHeight: content.childrenRect.y + content.childrenRect.height
    property alias contentX: hscroll.value
    property alias contentY: vscroll.value
    property alias scrollSpeed: wheelarea.scrollSpeed
    property alias horizontalScrollBar: hscroll
    property alias verticalScrollBar: vscroll
    readonly property int frameWidth: frame ? frameitem.pixelMetric("defaultframewidth") : 0
    readonly property real viewportWidth: width - 2 * frameWidth - (vscroll.visible ? vscroll.width : 0)
    readonly property real viewportHeight: height - 2 * frameWidth - (hscroll.visible ? hscroll.height : 0)

    implicitWidth: 200
    implicitHeight: 200

    Native.StyleItem {
        id: frameitem
        anchors.fill: parent
        // A field's frame where the focus is to show: styles ring it.
        elementType: scrollarea.highlightOnFocus ? "edit" : "frame"
        visible: scrollarea.frame
        sunken: true
        hasFocus: scrollarea.highlightOnFocus && scrollarea.activeFocus
        enabled: scrollarea.enabled
    }

    Item {
        id: viewport
        x: scrollarea.frameWidth
        y: scrollarea.frameWidth
        width: Math.max(0, scrollarea.viewportWidth)
        height: Math.max(0, scrollarea.viewportHeight)
        clip: true

        Rectangle {
            anchors.fill: parent
            color: scrollarea.color
        }

        Item {
            id: content
            x: -hscroll.value
            y: -vscroll.value
            width: viewport.width
            height: viewport.height
        }
    }

    Native.WheelArea {
        id: wheelarea
        anchors.fill: viewport
        verticalMinimumValue: vscroll.minimumValue
        verticalMaximumValue: vscroll.maximumValue
        horizontalMinimumValue: hscroll.minimumValue
        horizontalMaximumValue: hscroll.maximumValue
        verticalValue: vscroll.value
        horizontalValue: hscroll.value
        onVerticalValueChanged: vscroll.value = verticalValue
        onHorizontalValueChanged: hscroll.value = horizontalValue
    }

    ScrollBar {
        id: hscroll
        orientation: Qt.Horizontal
        visible: maximumValue > 0
        maximumValue: Math.max(0, scrollarea.contentWidth - scrollarea.viewportWidth)
        pageStep: scrollarea.viewportWidth
        x: scrollarea.frameWidth
        width: scrollarea.viewportWidth
        anchors.bottom: parent.bottom
        anchors.bottomMargin: scrollarea.frameWidth
    }

    ScrollBar {
        id: vscroll
        orientation: Qt.Vertical
        visible: maximumValue > 0
        maximumValue: Math.max(0, scrollarea.contentHeight - scrollarea.viewportHeight)
        pageStep: scrollarea.viewportHeight
        y: scrollarea.frameWidth
        height: scrollarea.viewportHeight
        anchors.right: parent.right
        anchors.rightMargin: scrollarea.frameWidth
    }

    Native.StyleItem {
        elementType: "scrollareacorner"
        visible: hscroll.visible && vscroll.visible
        x: hscroll.x + hscroll.width
        y: vscroll.y + vscroll.height
        width: vscroll.width
        height: hscroll.height
    }
}
