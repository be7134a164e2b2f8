import QtQuick 2.0

// Declares every member of the hosting protocol.
Rectangle {
    id: root
    width: 240
    height: 160

    property string dialogTitle: "Sample"
    property int dialogResult: 3
    property bool dialogFullScreen: false
    property bool allowClose: true
    property string lastTriggered: ""

    signal dialogCloseRequested()
    signal askedToClose()
    function dialogCanClose() { askedToClose(); return allowClose }
    function finish(result) { dialogResult = result; dialogCloseRequested() }

    property list<Item> dialogToolBar: [
        Item {
            property string text: "Make"
            property string tooltip: "Make the show"
            property int iconSize: 32
            function trigger() { root.lastTriggered = "Make" }
        },
        Item { property string text: "|" },
        Item {
            property string text: "Play"
            enabled: false
            function trigger() { root.lastTriggered = "Play" }
        },
        Item { property string text: "-" },
        Item { property string text: "Help"; visible: false },
        Item { }
    ]

    property list<Item> dialogMenu: [
        Item {
            property string text: "File"
            property list<Item> submenu: [
                Item {
                    property string text: "New"
                    property string shortcut: "Ctrl+N"
                    function trigger() { root.lastTriggered = "New" }
                },
                Item { property string text: "-" },
                Item { property string text: "|" },
                Item { },
                Item { property string text: "Quit"; property string shortcut: "Ctrl+Q"; enabled: false }
            ]
        },
        Item { property string text: "Help" }
    ]
}
