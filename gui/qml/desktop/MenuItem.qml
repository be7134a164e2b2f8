import QtQuick 2.15
import Desktop 0.1 as Native

// One entry of a ComboBox or ContextMenu: `text`, `shortcut`, `enabled`,
// `checkable`, `checked`, `iconSource`, and the signal `triggered()`.
Native.MenuItem {
}
