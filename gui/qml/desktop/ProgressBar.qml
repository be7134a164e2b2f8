import QtQuick 2.15
import Desktop 0.1 as Native

// A progress bar drawn by the platform's style.
Item {
    id: progressbar

    property real minimumValue: 0
    property real maximumValue: 100
    property real value: 0

    implicitWidth: 200
    implicitHeight: styleitem.implicitHeight

    Native.StyleItem {
        id: styleitem
        anchors.fill: parent
        elementType: "progressbar"
        minimum: Math.round(progressbar.minimumValue)
        maximum: Math.round(progressbar.maximumValue)
        value: Math.round(Math.max(progressbar.minimumValue,
                                   Math.min(progressbar.value, progressbar.maximumValue)))
        enabled: progressbar.enabled
        contentWidth: 200
        contentHeight: fontHeight + 8
    }
}
