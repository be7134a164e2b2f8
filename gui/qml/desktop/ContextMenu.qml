import QtQuick 2.15
import Desktop 0.1 as Native

// A native popup menu of MenuItem and Separator entries. `popupAt(item, x,
// y)` opens it at a point of an item of the view.
Native.Menu {
    id: menu

    function popupAt(item, x, y) {
        var point = item.mapToItem(null, x, y)
        showPopup(point.x, point.y)
    }
}
