import QtQuick 2.15
import Desktop 0.1 as Native

// A drop-down list of MenuItem entries shown in a native popup menu.
// `selectedIndex` is the entry shown; choosing an entry selects it and
// triggers it.
Item {
    id: combobox

    default property alias menuItems: popup.menuItems
    property int selectedIndex: 0
    readonly property string selectedText: selectedIndex >= 0 && selectedIndex < entryTexts.length
                                           ? entryTexts[selectedIndex] : ""
    readonly property int count: entryTexts.length
    // The entries' texts, read when the box is complete.
    property var entryTexts: []
    property bool pressed: mouseArea.pressed && mouseArea.containsMouse
    readonly property bool hovered: mouseArea.containsMouse

    function showPopup() {
        var origin = combobox.mapToItem(null, 0, 0)
        popup.setMinimumWidth(width)
        popup.showPopup(origin.x, origin.y, selectedIndex)
    }

    activeFocusOnTab: true
    implicitWidth: styleitem.implicitWidth
    implicitHeight: styleitem.implicitHeight

    // The widest entry decides the width, as for a native combo box.
    function widestEntry() {
        var widest = 0
        for (var i = 0; i < entryTexts.length; ++i)
            widest = Math.max(widest, styleitem.textWidth(entryTexts[i]))
        return widest
    }

    Native.StyleItem {
        id: styleitem
        anchors.fill: parent
        elementType: "combobox"
        text: combobox.selectedText
        sunken: combobox.pressed
        raised: !sunken
        hover: combobox.hovered
        hasFocus: combobox.activeFocus
        enabled: combobox.enabled
        contentHeight: Math.max(fontHeight, 14) + 2
    }

    Native.Menu {
        id: popup
        selectedIndex: combobox.selectedIndex
    }

    Component.onCompleted: {
        var texts = []
        for (var i = 0; i < popup.menuItems.length; ++i) {
            texts.push(popup.menuItems[i].text);
            (function(index) {
                popup.menuItems[index].triggered.connect(function() { combobox.selectedIndex = index })
            })(i)
        }
        entryTexts = texts
        styleitem.contentWidth = widestEntry()
    }

    MouseArea {
        id: mouseArea
        anchors.fill: parent
        hoverEnabled: true
        enabled: combobox.enabled
        onPressed: combobox.showPopup()
    }

    Keys.onSpacePressed: showPopup()
    Keys.onUpPressed: if (selectedIndex > 0) selectedIndex--
    Keys.onDownPressed: if (selectedIndex < count - 1) selectedIndex++
}
