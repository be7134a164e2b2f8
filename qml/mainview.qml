import QtQuick 2.15
import "qrc:/gui/qml/desktop" as Desktop
import Desktop 0.1 as Desktop
import ComponentModel 1.0 as ComponentModel
import Feedback 1.0 as Feedback
import Gui 1.0 as Gui
import Multimedia 1.0 as Multimedia
import Mvvm 1.0 as Mvvm
import "qrc:/qml" as Application
import Application 1.0 as Application

// The main window: the storyboard of slide thumbnails with drag and drop,
// the tool bar and menus (built by the dialog host from dialogToolBar and
// dialogMenu), the conversion overlay, the advertisement strip and the
// status line. It runs the user's flows (new slideshow, photos and music,
// preview, settings, "Make Slideshow" and its result messages) over the
// main view model and its children.
Desktop.ApplicationWindow {
    id: view

    property variant viewModel: dataContext
    readonly property variant storyboard: viewModel.storyboardViewModel
    readonly property variant music: viewModel.musicViewModel
    readonly property variant settings: viewModel.settingsViewModel
    readonly property variant convert: viewModel.convertViewModel

    property string dialogTitle: "Orvik Lumivista"
    property bool dialogMinimizeButton: true
    property bool dialogMaximizeButton: true
    property int dialogMinWidth: 675
    property int dialogMinHeight: 520
    property bool isLocked: false
    property bool askingToQuit: false
    property var resultAfterQuestion: null

    readonly property bool loading: storyboard.loading || music.loading
    readonly property bool canPreview: !isLocked && !loading && storyboard.clearAction.enabled
    readonly property bool canMake: canPreview && convert.startAction.enabled
    readonly property int baseFontSize: fontTemplate.fontInfo.pixelSize
    readonly property color windowColour: palette.window
    readonly property color darkerWindowColour: Qt.darker(palette.window, 1.3)
    readonly property color storyboardColour: "#676767"

    // The slide the context menu was opened on, or -1.
    property int contextSlide: -1
    // Drag and drop of slides inside the storyboard.
    property int dragIndex: -1
    property int overIndex: -1

    property list<Item> dialogToolBar: [
        Item {
            property string text: qsTr("Add Photos")
            property string tooltip: qsTr("Add photos to slideshow")
            property string iconSource: "qrc:/image/add-slides"
            property int iconSize: 32
            enabled: !view.isLocked
            function trigger() { view.addSlides() }
        },
        Item {
            property string text: qsTr("Change Music")
            property string tooltip: qsTr("Change background music")
            property string iconSource: "qrc:/image/change-music"
            property int iconSize: 32
            enabled: !view.isLocked
            function trigger() { view.changeMusic() }
        },
        Item { property string text: "|" },
        Item {
            property string text: qsTr("Show Preview")
            property string tooltip: qsTr("Show slideshow preview")
            property string iconSource: "qrc:/image/preview"
            property int iconSize: 32
            enabled: view.canPreview
            function trigger() { view.showPlayer() }
        },
        Item {
            property string text: qsTr("Make Slideshow")
            property string tooltip: qsTr("Start saving slideshow")
            property string iconSource: "qrc:/image/make"
            enabled: view.canMake
            function trigger() { view.makeSlideshow() }
        },
        Item { property string text: "-" },
        Item {
            property string text: qsTr("Settings")
            property string tooltip: qsTr("Show slideshow settings")
            property string iconSource: "qrc:/image/settings"
            enabled: !view.isLocked
            function trigger() { view.showSettings() }
        }
    ]

    property list<Item> dialogMenu: [
        Item {
            property string text: "File"
            property list<Item> submenu: [
                Item {
                    property string text: qsTr("New Slideshow...")
                    property string shortcut: "Ctrl+N"
                    enabled: !view.isLocked
                    function trigger() { view.newSlideshow() }
                },
                Item { property string text: "-" },
                Item {
                    property string text: qsTr("Add Photos...")
                    property string shortcut: "Ctrl+O"
                    enabled: !view.isLocked
                    function trigger() { view.addSlides() }
                },
                Item {
                    property string text: qsTr("Add Music...")
                    property string shortcut: "Ctrl+M"
                    enabled: !view.isLocked
                    function trigger() { view.changeMusic() }
                },
                Item { property string text: "-" },
                Item {
                    property string text: qsTr("Remove Photos")
                    enabled: !view.isLocked && view.storyboard.clearAction.enabled
                    function trigger() { view.storyboard.clearAction.trigger() }
                },
                Item {
                    property string text: qsTr("Remove Music")
                    enabled: !view.isLocked && view.music.clearAction.enabled
                    function trigger() { view.music.clearAction.trigger() }
                }
            ]
        },
        Item {
            property string text: "Edit"
            property list<Item> submenu: [
                Item {
                    property string text: qsTr("Rotate Photo Clockwise")
                    property string shortcut: "Ctrl+H"
                    enabled: !view.isLocked && view.storyboard.rotateSlideCwAction.enabled
                    function trigger() { view.storyboard.rotateSlideCwAction.trigger() }
                },
                Item {
                    property string text: qsTr("Rotate Photo Counterclockwise")
                    property string shortcut: "Ctrl+G"
                    enabled: !view.isLocked && view.storyboard.rotateSlideAcwAction.enabled
                    function trigger() { view.storyboard.rotateSlideAcwAction.trigger() }
                },
                Item { property string text: "-" },
                Item {
                    property string text: qsTr("Remove Photo")
                    property string shortcut: "Delete"
                    enabled: !view.isLocked && view.storyboard.removeSlideAction.enabled
                    function trigger() { view.storyboard.removeSlideAction.trigger() }
                },
                Item { property string text: "-" },
                Item {
                    property string text: qsTr("Settings...")
                    enabled: !view.isLocked
                    function trigger() { view.showSettings() }
                }
            ]
        },
        Item {
            property string text: "Make"
            property list<Item> submenu: [
                Item {
                    property string text: qsTr("Show Preview...")
                    property string shortcut: "Ctrl+Space"
                    enabled: view.canPreview
                    function trigger() { view.showPlayer() }
                },
                Item {
                    property string text: qsTr("Make Slideshow...")
                    property string shortcut: "Ctrl+S"
                    enabled: view.canMake
                    function trigger() { view.makeSlideshow() }
                }
            ]
        },
        Item {
            property string text: "Help"
            property list<Item> submenu: [
                Item {
                    property string text: qsTr("Help")
                    property string shortcut: "F1"
                    function trigger() { view.viewModel.showHelp() }
                },
                Item {
                    property string text: qsTr("Home Page")
                    function trigger() { view.viewModel.showSite() }
                },
                Item {
                    property string text: qsTr("Facebok")
                    function trigger() { view.viewModel.showFacebook() }
                },
                Item {
                    property string text: qsTr("Twitter")
                    function trigger() { view.viewModel.showTwitter() }
                }
            ]
        }
    ]

    // --- Functions the host, the view models and the controls call ---

    // A conversion that ends while the user is asked whether to quit leaves
    // its result for after the answer, never on top of the question: "Quit"
    // ends the program (a finished video is kept), after "Cancel" it shows.
    function dialogCanClose() {
        if (convert.state === Application.ConvertViewModel.StopState)
            return true
        askingToQuit = true
        var quit = dialog.showMessageDialog(
                    qsTr("Slideshow saving process not finished yet. Are you sure want to quit?"),
                    Mvvm.Dialog.QuestionIcon, "", [qsTr("Quit"), qsTr("Cancel")], 0) === 0
        askingToQuit = false
        var result = resultAfterQuestion
        resultAfterQuestion = null
        if (!quit && result)
            Qt.callLater(result)
        return quit
    }

    function newSlideshow() {
        if (!storyboard.clearAction.enabled && !music.clearAction.enabled)
            return
        var answer = dialog.showMessageDialog(
                    qsTr("Are you sure want to create new slideshow? Current progress will be lost."),
                    Mvvm.Dialog.QuestionIcon, "", [qsTr("Create"), qsTr("Cancel")], 0)
        if (answer !== 0)
            return
        storyboard.clearAction.trigger()
        music.clearAction.trigger()
    }

    function addSlides() {
        var paths = dialog.showOpenDialog(false, "Image Files (*.jpg *.jpeg)\nAll Files (*.*)", "",
                                          qsTr("Add Photos"))
        for (var i = 0; i < paths.length; ++i)
            storyboard.addSlide(paths[i])
    }

    function insertSlides() {
        var paths = dialog.showOpenDialog(false, "Image Files (*.jpg *.jpeg)\nAll Files (*.*)", "",
                                          qsTr("Insert Photos"))
        for (var i = 0; i < paths.length; ++i)
            storyboard.insertSlide(paths[i])
    }

    function changeMusic() {
        var paths = dialog.showOpenDialog(
                    true, "Music Files (*.mp3 *.m4a *.wma *.ogg *.wav *.flac *.ape)\nAll Files (*.*)", "",
                    qsTr("Change Music"))
        if (paths.length > 0)
            music.filePath = paths[0]
    }

    // Notices come from the maker's feed: shown as plain text, never as
    // markup with live links or pictures.
    function showMessage(message) {
        dialog.showMessageDialog(message, Mvvm.Dialog.InformationIcon, "", [qsTr("Close")], 0,
                                 Mvvm.Dialog.PlainText)
    }

    // No default button and no escape button: the photos go only when the
    // user presses "Remove Them" ("Remove It" for one) itself.
    function showPhotosAway(message, count) {
        var answer = dialog.showMessageDialog(message, Mvvm.Dialog.InformationIcon, "",
                                              [qsTr("Keep Them", "", count), qsTr("Remove Them", "", count)], -1,
                                              Mvvm.Dialog.PlainText)
        if (answer === 1)
            storyboard.removeAwayPhotos()
    }

    function showUpdate(message, retVal) {
        var answer = dialog.showMessageDialog(message, Mvvm.Dialog.InformationIcon, "",
                                              [qsTr("Open Site"), qsTr("Close")], 0, Mvvm.Dialog.PlainText)
        retVal.needUpdate = answer === 0
    }

    function showAdvertisement(url, text, banner) {
        advertisement.text = text
        advertisement.banner = banner !== "" ? "image://banners/" + banner : ""
        advertisement.shown = true
    }

    function showPlayer() {
        if (loading)
            return
        dialog.showDialog("qrc:/qml/playerview.qml", viewModel.playerViewModel)
    }

    function showSettings() {
        settings.mode = Application.SettingsViewModel.DefaultMode
        dialog.showDialog("qrc:/qml/settingsview.qml", settings)
    }

    // The photos that could not be read follow the good news; their paths
    // are shown as plain text, never as markup. Escape and the window's
    // close answer "Close".
    function conversionSucceeded(unreadablePhotos) {
        if (askingToQuit) {
            resultAfterQuestion = function() { conversionSucceeded(unreadablePhotos) }
            return
        }
        var text = qsTr("Good news! Slideshow successfully created.")
        if (unreadablePhotos !== "")
            text += "\n\n" + unreadablePhotos
        var answer = dialog.showMessageDialog(
                    text, Mvvm.Dialog.InformationIcon, "",
                    [qsTr("Show In Folder"), qsTr("Play"), qsTr("Close")], 0,
                    unreadablePhotos !== "" ? Mvvm.Dialog.PlainText : Mvvm.Dialog.AutoText, 2)
        if (answer === 0)
            convert.showResult()
        else if (answer === 1)
            convert.openResult()
    }

    // Plain text: a long path in the description wraps anywhere rather
    // than running past the box's edge.
    function conversionFailed(code, description) {
        if (askingToQuit) {
            resultAfterQuestion = function() { conversionFailed(code, description) }
            return
        }
        var text = qsTr("Sorry. Slideshow creation failed.") + "\n\n" + description + "\n\n"
                + stringFormat(qsTr("Error code: %1"), [code])
        var answer = dialog.showMessageDialog(text, Mvvm.Dialog.WarningIcon, "",
                                              [qsTr("Report Problem"), qsTr("Close")], 0,
                                              Mvvm.Dialog.PlainText)
        if (answer === 0)
            communication.reportProblem("Slideshow creation failed",
                                        description + "\n\n" + stringFormat("Error code: %1", [code]))
    }

    // What is not sure after a conversion (a video the disk has not yet
    // named, a file it has not yet removed), as plain text.
    function conversionNotice(notice) {
        if (askingToQuit) {
            resultAfterQuestion = function() { conversionNotice(notice) }
            return
        }
        dialog.showMessageDialog(notice, Mvvm.Dialog.InformationIcon, "", [qsTr("Close")], 0,
                                 Mvvm.Dialog.PlainText)
    }

    function makeSlideshow() {
        if (loading)
            return
        var result = 1
        if (settings.needClarify) {
            settings.mode = Application.SettingsViewModel.ConvertMode
            result = dialog.showDialog("qrc:/qml/settingsview.qml", settings)
        }
        if (result === 1)
            convert.startAction.trigger()
    }

    function makeSlideVisible(index) {
    }

    function stringFormat(str, args) {
        for (var i = 1; i <= args.length; ++i)
            str = str.replace("%" + i, String(args[i - 1]))
        return str
    }

    function isWindows() { return styleitem.style.indexOf("windows") >= 0 }
    function isWindowsVista() { return styleitem.style.indexOf("vista") >= 0 }
    function isMac() { return styleitem.style === "mac" }

    // Files that do not answer are named in place of the counts: Make and
    // Preview go on without them meanwhile.
    function statusText() {
        if (storyboard.loading)
            return qsTr("Loading photos...")
        if (music.loading)
            return qsTr("Loading music...")
        var waiting = [storyboard.waitingText, music.waitingText].filter(function(text) { return text !== "" })
        if (waiting.length > 0)
            return waiting.join(" ")
        var parts = []
        if (grid.count > 0)
            parts.push(qsTr("%n photos", "", grid.count))
        if (music.filePath !== "")
            parts.push(music.fileName)
        return parts.join(", ")
    }

    function isMusicPath(path) {
        return /.*mp3$|.*wma$|.*ogg$|.*wav$|.*m4a$|.*flac$|.*ape$/.test(path)
    }

    function openContextMenu(slideIndex, item, x, y) {
        contextSlide = slideIndex
        if (slideIndex >= 0)
            storyboard.index = slideIndex
        contextMenu.popupAt(item, x, y)
    }

    width: 875
    height: 625

    Mvvm.Dialog { id: dialog }
    ComponentModel.Transform { id: dataTransform }
    Feedback.Communication { id: communication }
    SystemPalette { id: palette; colorGroup: SystemPalette.Active }
    Desktop.StyleItem { id: styleitem; visible: false }
    Text { id: fontTemplate; visible: false; text: "X" }

    // --- Storyboard ---

    Desktop.ScrollArea {
        id: scrollArea
        objectName: "storyboard"

        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: advertisement.visible ? advertisement.top : statusDelimiter.top
        frame: false
        color: view.storyboardColour
        highlightOnFocus: true
        scrollSpeed: 9
        horizontalScrollBar.visible: false
        // Only the grid's rows decide how far it scrolls.
        contentWidth: 0
        contentHeight: storyboardContent.height

        Item {
            id: storyboardContent
            width: scrollArea.viewportWidth
            height: Math.max(scrollArea.viewportHeight, grid.y + grid.height)

            // Empty space: a click clears the current slide, a right click
            // opens the menu without one.
            MouseArea {
                anchors.fill: parent
                acceptedButtons: Qt.LeftButton | Qt.RightButton
                enabled: !view.isLocked
                onClicked: function(mouse) {
                    if (mouse.button === Qt.RightButton)
                        view.openContextMenu(-1, storyboardContent, mouse.x, mouse.y)
                    else
                        view.storyboard.index = -1
                }
            }

            GridView {
                id: grid
                objectName: "slideGrid"

                property int maxPhotoWidth: 180
                property int maxPhotoHeight: 135

                x: 14
                y: 14
                // Room is kept for the scroll bar, so that its coming and
                // going does not change the number of columns that made it.
                width: scrollArea.width - scrollArea.verticalScrollBar.width - 28
                height: rows * cellHeight + 14
                readonly property int columns: Math.max(1, Math.floor(width / cellWidth))
                readonly property int rows: Math.ceil(count / columns)
                cellWidth: maxPhotoWidth + 14 + 12
                cellHeight: maxPhotoHeight + 14 + 12
                interactive: false
                focus: true
                model: view.storyboard.slides
                currentIndex: view.storyboard.index
                onCurrentIndexChanged: if (view.storyboard.index !== currentIndex) view.storyboard.index = currentIndex
                highlightFollowsCurrentItem: false

                Behavior on maxPhotoHeight { NumberAnimation { duration: 200 } }

                delegate: slideDelegate

                Keys.onPressed: function(event) {
                    var bar = scrollArea.verticalScrollBar
                    if (event.key === Qt.Key_PageUp)
                        bar.value = Math.max(bar.minimumValue, bar.value - bar.pageStep)
                    else if (event.key === Qt.Key_PageDown)
                        bar.value = Math.min(bar.maximumValue, bar.value + bar.pageStep)
                    else if (event.key === Qt.Key_Home)
                        bar.value = bar.minimumValue
                    else if (event.key === Qt.Key_End)
                        bar.value = bar.maximumValue
                    else if (event.key === Qt.Key_Left)
                        moveCurrentIndexLeft()
                    else if (event.key === Qt.Key_Right)
                        moveCurrentIndexRight()
                    else if (event.key === Qt.Key_Up)
                        moveCurrentIndexUp()
                    else if (event.key === Qt.Key_Down)
                        moveCurrentIndexDown()
                    else
                        return
                    event.accepted = true
                }
            }
        }
    }

    // Any press gives the storyboard the keyboard focus and goes on.
    MouseArea {
        anchors.fill: scrollArea
        z: 1
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        onPressed: function(mouse) {
            grid.forceActiveFocus()
            mouse.accepted = false
        }
    }

    // Thumbnail heights settle as the photos come in; delegates fade in.
    Timer {
        interval: 100
        repeat: true
        running: true
        onTriggered: {
            var tallest = 90
            var items = grid.contentItem.children
            for (var i = 0; i < items.length; ++i) {
                if (items[i].photoHeight !== undefined) {
                    tallest = Math.max(tallest, items[i].photoHeight)
                    items[i].opacity = 1
                }
            }
            grid.maxPhotoHeight = tallest
        }
    }

    Component {
        id: slideDelegate

        Item {
            id: cell

            // Null for a moment while a removed slide's cell goes.
            readonly property variant slide: model.object
            readonly property bool isCurrent: GridView.isCurrentItem
            readonly property bool isDragged: view.dragIndex === index
            readonly property bool isDropTarget: view.dragIndex >= 0 && view.overIndex === index && !isDragged
            readonly property bool pointerOn: slideMouse.containsMouse || removeMouse.containsMouse
                                              || contextMouse.containsMouse
            readonly property real photoHeight: photoArea.visible ? photoFrame.height : 0

            width: grid.cellWidth
            height: grid.cellHeight
            opacity: 0
            z: isDragged ? 10 : 0
            Behavior on opacity { NumberAnimation { duration: 100 } }

            Item {
                id: photoArea
                objectName: "photoArea"

                property real dragX: 0
                property real dragY: 0

                // A slide still opening (or waiting for a file that does
                // not answer) shows in its place, a frame until its photo
                // comes.
                readonly property bool photoShown: thumbnail.status === Image.Ready

                visible: !!cell.slide && cell.slide.state !== Application.SlideViewModel.ErrorState
                width: 180
                height: 180
                x: (cell.width - width) / 2 + dragX
                y: cell.height - 7 - height + dragY

                Item {
                    id: photoFrame
                    x: (photoArea.width - width) / 2
                    y: photoArea.height - height
                    width: photoArea.photoShown ? thumbnail.paintedWidth : grid.maxPhotoWidth
                    height: photoArea.photoShown ? thumbnail.paintedHeight : grid.maxPhotoWidth * 3 / 4

                    BorderImage {
                        readonly property int grow: cell.pointerOn || cell.isDropTarget ? 1 : 0
                        anchors.fill: parent
                        anchors.leftMargin: -6 - grow
                        anchors.topMargin: -5 - grow
                        anchors.rightMargin: -6 - grow
                        anchors.bottomMargin: -7 - grow
                        border { left: 10; top: 10; right: 10; bottom: 10 }
                        source: "qrc:/image/shadow"
                        visible: !cell.isCurrent
                    }
                    Rectangle {
                        anchors.fill: parent
                        anchors.margins: -4
                        radius: 4
                        color: "transparent"
                        border.width: 4
                        border.color: "#F7D25B"
                        visible: cell.isCurrent
                    }
                }

                Rectangle {
                    objectName: "slidePlaceholder"
                    x: photoFrame.x
                    y: photoFrame.y
                    width: photoFrame.width
                    height: photoFrame.height
                    visible: !photoArea.photoShown
                    color: "#7C7C7C"
                    border.width: 1
                    border.color: "#929292"
                }

                Image {
                    id: thumbnail
                    objectName: "thumbnail"
                    anchors.fill: parent
                    fillMode: Image.PreserveAspectFit
                    verticalAlignment: Image.AlignBottom
                    smooth: true
                    asynchronous: false
                    source: !!cell.slide && cell.slide.photoId !== "" ? "image://photos/" + cell.slide.photoId : ""
                }

                MouseArea {
                    id: slideMouse

                    property point pressPoint
                    property bool dragging: false

                    x: photoFrame.x
                    y: photoFrame.y
                    width: photoFrame.width
                    height: photoFrame.height
                    hoverEnabled: true
                    enabled: !view.isLocked
                    acceptedButtons: Qt.LeftButton | Qt.RightButton

                    onPressed: function(mouse) {
                        view.storyboard.index = index
                        pressPoint = mapToItem(grid, mouse.x, mouse.y)
                    }
                    onPositionChanged: function(mouse) {
                        if (!(pressedButtons & Qt.LeftButton))
                            return
                        var point = mapToItem(grid, mouse.x, mouse.y)
                        if (!dragging && (Math.abs(point.x - pressPoint.x) > 4 || Math.abs(point.y - pressPoint.y) > 4)) {
                            dragging = true
                            view.dragIndex = index
                        }
                        if (dragging) {
                            photoArea.dragX = point.x - pressPoint.x
                            photoArea.dragY = point.y - pressPoint.y
                            view.overIndex = grid.indexAt(point.x, point.y)
                        }
                    }
                    onReleased: function(mouse) {
                        // The drag state is reset first: the move may take
                        // this delegate away.
                        var from = dragging ? view.dragIndex : -1
                        var to = view.overIndex
                        dragging = false
                        photoArea.dragX = 0
                        photoArea.dragY = 0
                        view.dragIndex = -1
                        view.overIndex = -1
                        if (from >= 0 && to >= 0)
                            view.storyboard.moveSlide(from, to)
                    }
                    onClicked: function(mouse) {
                        if (mouse.button === Qt.RightButton)
                            view.openContextMenu(index, slideMouse, mouse.x, mouse.y)
                    }
                }

                Image {
                    id: removeButton
                    objectName: "removeButton"
                    x: photoFrame.x + photoFrame.width - width - 4
                    y: photoFrame.y + 4
                    width: 23
                    height: 23
                    smooth: true
                    source: "qrc:/image/slide-remove"
                    opacity: cell.isDragged ? 0 : removeMouse.containsMouse ? 0.9 : cell.pointerOn ? 0.4 : 0
                    visible: opacity >= 0.1
                    Behavior on opacity { NumberAnimation { duration: 100 } }

                    MouseArea {
                        id: removeMouse
                        anchors.fill: parent
                        hoverEnabled: true
                        enabled: !view.isLocked
                        onClicked: {
                            view.storyboard.index = index
                            view.storyboard.removeSlideAction.trigger()
                        }
                    }
                }

                Image {
                    id: contextButton
                    objectName: "contextButton"
                    x: photoFrame.x + photoFrame.width - width - 4
                    y: photoFrame.y + photoFrame.height - height - 4
                    width: 23
                    height: 23
                    smooth: true
                    source: "qrc:/image/slide-context"
                    opacity: cell.isDragged ? 0 : contextMouse.containsMouse ? 0.9 : cell.pointerOn ? 0.4 : 0
                    visible: opacity >= 0.1
                    Behavior on opacity { NumberAnimation { duration: 100 } }

                    MouseArea {
                        id: contextMouse
                        anchors.fill: parent
                        hoverEnabled: true
                        enabled: !view.isLocked
                        onClicked: function(mouse) {
                            view.openContextMenu(index, contextButton, mouse.x, mouse.y)
                        }
                    }
                }
            }
        }
    }

    // With no slides: an invitation to add some.
    Item {
        id: addBanner
        objectName: "addBanner"

        visible: grid.count === 0
        anchors.centerIn: scrollArea
        width: bannerColumn.width
        height: bannerColumn.height

        Column {
            id: bannerColumn
            spacing: 8

            Image {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 43
                height: 43
                smooth: true
                source: "qrc:/image/slide-add"
            }
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: qsTr("Click to add photos")
                font.bold: true
                font.pixelSize: view.baseFontSize + 6
                color: "#FFFFFF"
            }
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: qsTr("or drag and drop it here")
                font.bold: true
                font.pixelSize: view.baseFontSize + 1
                color: "#B7B7B7"
            }
        }
        Gui.CursorShapeArea { anchors.fill: parent; cursorShape: Qt.PointingHandCursor }
        MouseArea {
            anchors.fill: parent
            enabled: !view.isLocked
            onClicked: view.addSlides()
        }
    }

    Gui.DropArea {
        id: dropArea
        objectName: "dropArea"
        anchors.fill: scrollArea
        enabled: !view.isLocked
        onFileDropped: function(path) {
            if (view.isLocked)
                return
            if (view.isMusicPath(path))
                view.music.filePath = path
            else
                view.storyboard.addSlide(path)
        }
    }

    // --- Conversion overlay ---

    Rectangle {
        id: overlay
        objectName: "convertOverlay"

        property real contentOffset: -50

        anchors.fill: scrollArea
        color: view.storyboardColour
        opacity: 0
        visible: opacity > 0

        // Swallows the pointer while the conversion runs.
        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            hoverEnabled: true
        }

        Item {
            anchors.fill: parent
            anchors.topMargin: 24 + overlay.contentOffset
            anchors.bottomMargin: 24 - overlay.contentOffset

            Item {
                id: previewArea
                anchors.top: parent.top
                anchors.bottom: overlayControls.top
                anchors.bottomMargin: 24
                anchors.horizontalCenter: parent.horizontalCenter
                width: Math.max(0, overlay.width - 200)

                Item {
                    anchors.centerIn: parent
                    width: preview.paintedWidth
                    height: preview.paintedHeight
                    visible: preview.status === Image.Ready

                    BorderImage {
                        anchors.fill: parent
                        anchors.leftMargin: -6
                        anchors.topMargin: -5
                        anchors.rightMargin: -6
                        anchors.bottomMargin: -7
                        border { left: 10; top: 10; right: 10; bottom: 10 }
                        source: "qrc:/image/shadow"
                    }
                }
                Image {
                    id: preview
                    objectName: "convertPreview"
                    anchors.fill: parent
                    fillMode: Image.PreserveAspectFit
                    smooth: true
                    cache: false
                    source: view.convert.photoId !== "" ? "image://photos/" + view.convert.photoId : ""
                }
            }

            Column {
                id: overlayControls
                anchors.bottom: parent.bottom
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: 10

                Item {
                    id: stateLine

                    // The line never runs past the window: a margin each side.
                    readonly property real room: Math.max(0, overlay.width - 48)
                    readonly property bool waiting: view.convert.waitingText !== ""

                    width: progressBar.width
                    height: Math.max(stateText.height, tipText.height)

                    Text {
                        id: stateText
                        objectName: "convertStateText"

                        readonly property string progressWords:
                            view.convert.state === Application.ConvertViewModel.PauseState
                            ? qsTr("Paused")
                            : view.stringFormat(qsTr("%1 of %n photos processed, %2 left.", "",
                                                     view.convert.slideCount),
                                                [view.convert.slideIndex,
                                                 dataTransform.timeToString(view.convert.remainingTime, "remain")])
                        // The wait's words stay whole around the path it
                        // names; only the path is shortened, in its middle.
                        readonly property string waitingPath: view.convert.waitingPath
                        readonly property int pathAt: waitingPath !== "" ? view.convert.waitingText.indexOf(waitingPath) : -1
                        readonly property string beforePath: pathAt >= 0 ? view.convert.waitingText.slice(0, pathAt)
                                                                         : view.convert.waitingText
                        readonly property string afterPath: pathAt >= 0
                                                            ? view.convert.waitingText.slice(pathAt + waitingPath.length) : ""

                        anchors.horizontalCenter: parent.horizontalCenter
                        // The wait on a line of its own, its path given all
                        // the room its words leave; words too long for the
                        // window wrap rather than run past it.
                        width: Math.min(implicitWidth, stateLine.room)
                        wrapMode: Text.Wrap
                        horizontalAlignment: Text.AlignHCenter
                        color: "#FFFFFF"
                        font.pixelSize: view.baseFontSize + 1
                        text: progressWords + (stateLine.waiting ? "\n" + beforePath + shortPath.elidedText + afterPath : "")

                        TextMetrics {
                            id: pathWords
                            font: stateText.font
                            text: stateText.beforePath + stateText.afterPath
                        }
                        TextMetrics {
                            id: shortPath
                            font: stateText.font
                            text: stateText.pathAt >= 0 ? stateText.waitingPath : ""
                            elide: Text.ElideMiddle
                            // A few pixels spare for the joins' kerning.
                            elideWidth: Math.max(0, stateLine.room - pathWords.advanceWidth - 4)
                        }
                    }
                    Text {
                        id: tipText
                        objectName: "convertTipText"
                        anchors.horizontalCenter: parent.horizontalCenter
                        color: "#FFFFFF"
                        font.pixelSize: view.baseFontSize + 1
                        opacity: 0
                        text: qsTr("You always can change video quality and format in settings.")
                    }

                    // The tip never covers a wait the line names.
                    SequentialAnimation {
                        objectName: "tipAnimation"
                        running: overlay.visible && !stateLine.waiting
                        loops: Animation.Infinite
                        onStopped: { stateText.opacity = 1; tipText.opacity = 0 }

                        PauseAnimation { duration: 10000 }
                        ParallelAnimation {
                            NumberAnimation { target: stateText; property: "opacity"; to: 0; duration: 300 }
                            NumberAnimation { target: tipText; property: "opacity"; to: 1; duration: 300 }
                        }
                        PauseAnimation { duration: 5000 }
                        ParallelAnimation {
                            NumberAnimation { target: tipText; property: "opacity"; to: 0; duration: 300 }
                            NumberAnimation { target: stateText; property: "opacity"; to: 1; duration: 300 }
                        }
                    }
                }

                Desktop.ProgressBar {
                    id: progressBar
                    objectName: "convertProgress"
                    width: 480
                    height: 24
                    minimumValue: 0
                    maximumValue: 100
                    value: view.convert.progress
                }

                Row {
                    anchors.horizontalCenter: parent.horizontalCenter
                    spacing: 8

                    Desktop.Button {
                        objectName: "pauseButton"
                        readonly property bool paused: view.convert.state === Application.ConvertViewModel.PauseState
                        width: Math.max(implicitWidth, 90)
                        text: paused ? qsTr("Resume") : qsTr("Pause")
                        tooltip: paused ? qsTr("Resume making process") : qsTr("Pause making process")
                        enabled: view.convert.pauseAction.enabled
                        onClicked: view.convert.pauseAction.trigger()
                    }
                    Desktop.Button {
                        objectName: "cancelButton"
                        width: Math.max(implicitWidth, 90)
                        text: qsTr("Cancel")
                        tooltip: qsTr("Stop making process")
                        enabled: view.convert.stopAction.enabled
                        onClicked: view.convert.stopAction.trigger()
                    }
                }
            }
        }
    }

    // --- Advertisement strip ---

    Item {
        id: advertisement
        objectName: "advertisement"

        property bool shown: false
        property string text
        property string banner

        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: statusDelimiter.top
        visible: shown
        clip: true
        height: Math.max(advertIcon.visible ? advertIcon.paintedHeight : 0,
                         advertText.visible ? advertText.paintedHeight : 0,
                         bannerImage.visible ? bannerImage.paintedHeight : 0) + 10 + divider.height
        Behavior on height { NumberAnimation { duration: 100 } }

        Rectangle {
            id: divider
            width: parent.width
            height: view.isWindows() ? 2 : 1
            color: view.darkerWindowColour
            Rectangle {
                visible: view.isWindows()
                y: 1
                width: parent.width
                height: 1
                color: "#FFFFFF"
            }
        }

        Item {
            anchors.fill: parent
            anchors.topMargin: divider.height

            Image {
                id: advertIcon
                x: 8
                anchors.verticalCenter: parent.verticalCenter
                width: 16
                height: 16
                smooth: true
                visible: advertisement.banner === ""
                source: "qrc:/image/advertise"
            }
            Text {
                id: advertText
                objectName: "advertisementText"
                anchors.left: advertIcon.right
                anchors.leftMargin: 6
                anchors.right: closeAdvert.left
                anchors.rightMargin: 6
                anchors.verticalCenter: parent.verticalCenter
                visible: advertisement.banner === ""
                textFormat: Text.RichText
                wrapMode: Text.WordWrap
                font.pixelSize: view.baseFontSize + 1
                color: "#1122CC"
                linkColor: "#1122CC"
                text: advertisement.text
                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: view.viewModel.showAdvertisement()
                }
            }
            Image {
                id: bannerImage
                objectName: "advertisementBanner"
                anchors.centerIn: parent
                visible: advertisement.banner !== ""
                source: advertisement.banner
                cache: false
                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: view.viewModel.showAdvertisement()
                }
            }
            Desktop.ToolButton {
                id: closeAdvert
                objectName: "advertisementClose"
                anchors.right: parent.right
                anchors.rightMargin: 2
                anchors.top: parent.top
                anchors.topMargin: 2
                width: 17
                height: 18
                iconSource: "qrc:/image/item-remove"
                iconSize: 16
                onClicked: advertisement.shown = false
            }
        }
    }

    // --- Status line ---

    Rectangle {
        id: statusDelimiter
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: statusBar.top
        height: view.isWindows() ? 2 : 1
        color: view.isWindows() ? view.windowColour : view.darkerWindowColour
        Rectangle {
            visible: view.isWindows()
            y: 1
            width: parent.width
            height: 1
            color: "#FFFFFF"
        }
    }

    Item {
        id: statusBar
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: statusLine.height + 10

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.horizontalCenterOffset: 1
            anchors.verticalCenter: parent.verticalCenter
            anchors.verticalCenterOffset: 1
            visible: statusLine.visible
            color: "#F6F6F6"
            text: statusLine.text
        }
        Text {
            id: statusLine
            objectName: "statusText"
            anchors.centerIn: parent
            color: "#7F7F7F"
            text: view.statusText()
        }
    }

    // --- Context menu of the storyboard ---

    Desktop.ContextMenu {
        id: contextMenu
        objectName: "storyboardMenu"

        Desktop.MenuItem {
            text: qsTr("Rotate Clockwise")
            shortcut: "Ctrl+H"
            visible: view.contextSlide >= 0
            enabled: !view.isLocked && view.storyboard.rotateSlideCwAction.enabled
            onTriggered: view.storyboard.rotateSlideCwAction.trigger()
        }
        Desktop.MenuItem {
            text: qsTr("Rotate Counterclockwise")
            shortcut: "Ctrl+G"
            visible: view.contextSlide >= 0
            enabled: !view.isLocked && view.storyboard.rotateSlideAcwAction.enabled
            onTriggered: view.storyboard.rotateSlideAcwAction.trigger()
        }
        Desktop.Separator {}
        Desktop.MenuItem {
            text: qsTr("Remove")
            shortcut: "Delete"
            visible: view.contextSlide >= 0
            enabled: !view.isLocked && view.storyboard.removeSlideAction.enabled
            onTriggered: view.storyboard.removeSlideAction.trigger()
        }
        Desktop.Separator {}
        Desktop.MenuItem {
            text: qsTr("Add Photos...")
            visible: view.contextSlide < 0
            enabled: !view.isLocked
            onTriggered: view.addSlides()
        }
        Desktop.MenuItem {
            text: qsTr("Insert Photos...")
            visible: view.contextSlide >= 0
            enabled: !view.isLocked
            onTriggered: view.insertSlides()
        }
        Desktop.Separator {}
        Desktop.MenuItem {
            text: qsTr("Remove All")
            visible: view.contextSlide < 0
            enabled: !view.isLocked && view.storyboard.clearAction.enabled
            onTriggered: view.storyboard.clearAction.trigger()
        }
    }

    // --- The conversion locks the window ---

    states: State {
        name: "ConvertState"
        when: view.convert.state === Application.ConvertViewModel.ConvertState
              || view.convert.state === Application.ConvertViewModel.PauseState
        PropertyChanges { target: overlay; opacity: 1; contentOffset: 0 }
        PropertyChanges { target: statusLine; visible: false }
        PropertyChanges { target: view; isLocked: true }
    }
    transitions: Transition {
        NumberAnimation { target: overlay; properties: "opacity,contentOffset"; duration: 150 }
    }

    Component.onCompleted: {
        viewModel.messageReceived.connect(showMessage)
        viewModel.updateReceived.connect(showUpdate)
        viewModel.advertisementReceived.connect(showAdvertisement)
        convert.conversionSucceeded.connect(conversionSucceeded)
        convert.conversionFailed.connect(conversionFailed)
        convert.conversionNotice.connect(conversionNotice)
        storyboard.filesLeftOut.connect(showMessage)
        storyboard.storyboardDamaged.connect(showMessage)
        storyboard.storageProblem.connect(showMessage)
        storyboard.photosAway.connect(showPhotosAway)
        music.openFailed.connect(showMessage)
        settings.storageProblem.connect(showMessage)
        communication.reportNotSent.connect(showMessage)
    }
}
