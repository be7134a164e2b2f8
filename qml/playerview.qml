import QtQuick 2.15
import "qrc:/gui/qml/desktop" as Desktop
import Desktop 0.1 as Desktop
import ComponentModel 1.0 as ComponentModel
import Gui 1.0 as Gui
import Multimedia 1.0 as Multimedia
import Application 1.0 as Application

// The preview window: the picture centred on black with its own aspect
// ratio and a bar of controls (play/pause, seek track with the time,
// volume, full screen) that fades out while the preview plays and the
// mouse rests. The player view model's `player` plays; the view only asks.
// Without a sound device the player stays stopped on the first picture and
// the window says why; Play pressed meanwhile plays once a device is found.
// Music or a sound output that does not answer is said too, while the
// preview plays on without it.
Rectangle {
    id: view

    property variant viewModel: dataContext
    property variant player: viewModel.player

    property string dialogTitle: qsTr("Preview")
    property string dialogIcon: ":/image/application-icon"
    property bool dialogMinimizeButton: true
    property bool dialogMaximizeButton: true
    property int dialogMinWidth: 400
    property int dialogMinHeight: 300
    property bool dialogFullScreen: false
    property bool isIdle: true

    readonly property bool playing: player.state === Multimedia.Player.PlayState
    readonly property bool paused: player.state === Multimedia.Player.PauseState
    readonly property bool stopped: player.state === Multimedia.Player.StopState
    readonly property bool controlsShown: !playing || controlsContainsMouse() || (containsMouse() && !isIdle)

    function timeToX(time) {
        return seekTrack.width * (time - player.minTime) / (player.maxTime - player.minTime)
    }
    function xToTime(x) {
        return x * (player.maxTime - player.minTime) / seekTrack.width + player.minTime
    }
    function togglePlay() {
        if (playing)
            player.pause()
        else if (paused || player.soundDeviceMissing)
            player.play()
    }
    function toggleFullScreen() { dialogFullScreen = !dialogFullScreen }
    function mute() { player.volume = player.minVolume }
    function containsMouse() {
        return viewMouse.containsMouse || surfaceMouse.containsMouse || controlsContainsMouse()
    }
    function controlsContainsMouse() {
        return playMouse.containsMouse || barMouse.containsMouse || seekMouse.containsMouse
            || volumeMouse.containsMouse || fullScreenMouse.containsMouse
    }
    function wakeUp() {
        isIdle = false
        idleTimer.restart()
    }

    width: 505
    height: 380
    color: "#000000"
    focus: true

    ComponentModel.Transform { id: dataTransform }
    Text { id: fontTemplate; visible: false; text: "X" }

    Timer {
        id: idleTimer
        interval: 5000
        onTriggered: view.isIdle = true
    }

    MouseArea {
        id: viewMouse
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.RightButton
        onPositionChanged: view.wakeUp()
        onClicked: function(mouse) { contextMenu.popupAt(viewMouse, mouse.x, mouse.y) }
    }

    Item {
        id: frameArea
        objectName: "frameArea"

        readonly property real aspect: player.aspect > 0 ? player.aspect : 16 / 9

        visible: !view.stopped || view.player.soundDeviceMissing
        width: aspect < view.width / view.height ? view.height * aspect : view.width
        height: width / aspect
        anchors.centerIn: parent

        Multimedia.VideoSurface {
            id: surface
            objectName: "videoSurface"
            anchors.fill: parent

            MouseArea {
                id: surfaceMouse
                anchors.fill: parent
                hoverEnabled: true
                acceptedButtons: Qt.LeftButton | Qt.RightButton
                onPositionChanged: view.wakeUp()
                onClicked: function(mouse) {
                    if (mouse.button === Qt.RightButton)
                        contextMenu.popupAt(surfaceMouse, mouse.x, mouse.y)
                    else
                        view.togglePlay()
                }
                onDoubleClicked: function(mouse) {
                    if (mouse.button === Qt.LeftButton)
                        view.toggleFullScreen()
                }
            }
        }
    }

    Binding {
        target: view.viewModel
        property: "surfaceHeight"
        value: Math.round(frameArea.height)
    }

    // A line of white text on a dark plate near the top, wrapped to fit
    // the window.
    component Notice: Rectangle {
        property alias text: noticeText.text
        anchors.horizontalCenter: parent.horizontalCenter
        y: 10
        width: noticeText.width + 16
        height: noticeText.height + 12
        radius: 4
        color: "#000000"

        Text {
            id: noticeText
            anchors.centerIn: parent
            width: Math.min(implicitWidth, view.width - 36)
            wrapMode: Text.WordWrap
            horizontalAlignment: Text.AlignHCenter
            color: "#FFFFFF"
        }
    }

    // The preview renders smaller pictures than the video.
    Notice {
        objectName: "qualityNotice"
        opacity: view.playing && view.player.soundAnswers && (view.controlsContainsMouse() || (view.containsMouse() && !view.isIdle)) ? 0.5 : 0.0
        Behavior on opacity { SmoothedAnimation { velocity: -1; duration: 500 } }
        text: qsTr("Video quality is lowered due performance reasons. Result video will be much better!")
    }

    // Without a sound device the preview cannot play: say so, and that the
    // video is made all the same.
    Notice {
        objectName: "noSoundNotice"
        visible: view.player.soundDeviceMissing
        opacity: 0.7
        text: qsTr("No sound device was found, so the preview cannot play. Making the video is not affected.")
    }

    // Music that does not answer (on a share that hangs): the pictures go
    // on, and the sound comes back in its place once the music answers.
    Notice {
        id: silentMusicNotice
        objectName: "silentMusicNotice"
        visible: !view.stopped && !view.player.soundAnswers
        opacity: 0.7
        text: qsTr("The music does not answer, so the preview plays on without it until it does.")
    }

    // A sound output that does not answer (its sound server went away) or
    // refuses the sound's format, said with why: the pictures go on, and the
    // sound joins them once the output answers.
    Notice {
        objectName: "silentOutputNotice"
        y: silentMusicNotice.visible ? silentMusicNotice.y + silentMusicNotice.height + 6 : 10
        visible: !view.stopped && !view.player.soundOutputAnswers
        opacity: 0.7
        text: view.player.soundOutputRefusal === ""
              ? qsTr("The sound output does not answer, so the preview plays on without sound until it does.")
              : qsTr("The sound output refuses the preview's sound (%1), so the preview plays on without sound.")
                .arg(view.player.soundOutputRefusal)
    }

    Item {
        id: controlBar
        objectName: "controlBar"

        anchors.bottom: parent.bottom
        anchors.horizontalCenter: parent.horizontalCenter
        width: Math.min(view.width, 670)
        height: 60
        opacity: view.controlsShown ? 1.0 : 0.0
        Behavior on opacity { SmoothedAnimation { velocity: -1; duration: 500 } }

        Rectangle {
            id: playButton
            objectName: "playButton"
            x: 10
            anchors.verticalCenter: parent.verticalCenter
            width: 65
            height: 40
            radius: 4
            color: playMouse.containsMouse ? "#00ADEF" : "#000000"
            opacity: playMouse.containsMouse ? 1.0 : 0.5

            Image {
                x: 24
                y: 11
                width: 17
                height: 19
                smooth: true
                source: view.playing ? "qrc:/image/player-pause" : "qrc:/image/player-play"
            }
            Gui.CursorShapeArea { anchors.fill: parent; cursorShape: Qt.PointingHandCursor }
            MouseArea {
                id: playMouse
                anchors.fill: parent
                hoverEnabled: true
                onPositionChanged: view.wakeUp()
                onClicked: view.togglePlay()
            }
        }

        Rectangle {
            id: barBackground
            anchors.left: playButton.right
            anchors.leftMargin: 10
            anchors.right: parent.right
            anchors.rightMargin: 10
            anchors.bottom: playButton.bottom
            height: 32
            radius: 4
            color: "#000000"
            opacity: 0.5

            MouseArea {
                id: barMouse
                anchors.fill: parent
                hoverEnabled: true
                onPositionChanged: view.wakeUp()
            }
        }

        // Seek track, volume bars and full-screen button sit on the bar's
        // background without taking its transparency.
        Item {
            anchors.fill: barBackground

            Rectangle {
                id: seekFrame
                anchors.left: parent.left
                anchors.leftMargin: 10
                anchors.top: parent.top
                anchors.topMargin: 10
                anchors.right: volumeBars.left
                anchors.rightMargin: 10
                anchors.bottom: parent.bottom
                anchors.bottomMargin: 11
                color: "#000000FF"
                border.color: "#898F8F"
                border.width: 1
                antialiasing: false

                Item {
                    id: seekTrack
                    objectName: "seekTrack"
                    anchors.fill: parent
                    anchors.leftMargin: 2
                    anchors.topMargin: 2
                    anchors.rightMargin: 1
                    anchors.bottomMargin: 1

                    Rectangle {
                        objectName: "seekFill"
                        height: parent.height
                        width: Math.max(0, Math.min(parent.width, view.timeToX(view.player.time)))
                        color: "#00ADEF"
                    }

                    Item {
                        id: timeLabel
                        x: view.timeToX(view.player.time) - width / 2
                        y: -height - 4 - 2
                        width: timeBox.width
                        height: timeBox.height + 3

                        Rectangle {
                            id: timeBox
                            width: timeText.width + 6
                            height: timeText.height + 4
                            color: "#FFFFFF"

                            Text {
                                id: timeText
                                objectName: "timeText"
                                x: 3
                                y: 2
                                font.family: fontTemplate.font.family
                                font.pixelSize: fontTemplate.fontInfo.pixelSize - 1
                                text: dataTransform.timeToString(view.player.time, "mm:ss")
                            }
                        }
                        Image {
                            anchors.top: timeBox.bottom
                            anchors.horizontalCenter: timeBox.horizontalCenter
                            width: 5
                            height: 3
                            smooth: true
                            source: "qrc:/image/player-time-arrow"
                        }
                    }

                    Gui.CursorShapeArea { anchors.fill: parent; cursorShape: Qt.PointingHandCursor }
                    MouseArea {
                        id: seekMouse
                        anchors.fill: parent
                        hoverEnabled: true
                        onPressed: function(mouse) { view.player.time = view.xToTime(mouse.x) }
                        onPositionChanged: function(mouse) {
                            view.wakeUp()
                            if (pressedButtons & Qt.LeftButton)
                                view.player.time = view.xToTime(mouse.x)
                        }
                    }
                }
            }

            Item {
                id: volumeBars
                objectName: "volumeBars"
                anchors.right: fullScreenButton.left
                anchors.rightMargin: 5
                anchors.top: parent.top
                anchors.topMargin: 10
                anchors.bottom: parent.bottom
                anchors.bottomMargin: 10
                width: 35

                Row {
                    anchors.fill: parent
                    spacing: 2
                    Repeater {
                        model: 7
                        Rectangle {
                            width: 3
                            height: volumeBars.height
                            color: view.player.volume > index * (view.player.maxVolume - view.player.minVolume) / 7
                                   ? "#00ADEF" : "#656565"
                        }
                    }
                }
                Gui.CursorShapeArea { anchors.fill: parent; cursorShape: Qt.PointingHandCursor }
                MouseArea {
                    id: volumeMouse
                    function volumeAt(x) {
                        return x * (view.player.maxVolume - view.player.minVolume) / width + view.player.minVolume
                    }
                    anchors.fill: parent
                    hoverEnabled: true
                    onPressed: function(mouse) { view.player.volume = volumeAt(mouse.x) }
                    onPositionChanged: function(mouse) {
                        view.wakeUp()
                        if (pressedButtons & Qt.LeftButton)
                            view.player.volume = volumeAt(mouse.x)
                    }
                }
            }

            Rectangle {
                id: fullScreenButton
                objectName: "fullScreenButton"
                anchors.right: parent.right
                anchors.rightMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                width: 18
                height: 18
                radius: 2
                color: fullScreenMouse.containsMouse ? "#00ADEF" : "transparent"
                opacity: fullScreenMouse.containsMouse ? 1.0 : 0.5

                Image {
                    anchors.centerIn: parent
                    width: 12
                    height: 12
                    smooth: true
                    source: view.dialogFullScreen ? "qrc:/image/player-fullscreen-exit" : "qrc:/image/player-fullscreen"
                }
                MouseArea {
                    id: fullScreenMouse
                    anchors.fill: parent
                    hoverEnabled: true
                    onPositionChanged: view.wakeUp()
                    onClicked: view.toggleFullScreen()
                }
            }
        }
    }

    Desktop.ContextMenu {
        id: contextMenu
        objectName: "contextMenu"

        Desktop.MenuItem {
            objectName: "playMenuItem"
            text: view.playing ? qsTr("Pause") : qsTr("Play")
            enabled: !view.stopped || view.player.soundDeviceMissing
            shortcut: "Space"
            onTriggered: view.togglePlay()
        }
        Desktop.Separator {}
        Desktop.MenuItem {
            objectName: "muteMenuItem"
            text: qsTr("Mute")
            checkable: true
            checked: view.player.volume === view.player.minVolume
            shortcut: "Ctrl+M"
            onTriggered: view.mute()
        }
        Desktop.MenuItem {
            objectName: "fullScreenMenuItem"
            text: qsTr("Full Screen")
            checkable: true
            checked: view.dialogFullScreen
            onTriggered: view.toggleFullScreen()
        }
    }

    Keys.onPressed: function(event) {
        if (event.key === Qt.Key_Space && !event.isAutoRepeat) {
            togglePlay()
            event.accepted = true
        } else if (event.key === Qt.Key_Escape) {
            // Outside full screen Escape goes on to the window, which closes.
            if (dialogFullScreen) {
                dialogFullScreen = false
                event.accepted = true
            } else {
                event.accepted = false
            }
        } else if (event.key === Qt.Key_M && (event.modifiers & Qt.ControlModifier)) {
            mute()
            event.accepted = true
        }
    }

    Component.onCompleted: {
        viewModel.surface = surface
        viewModel.initialize()
        view.forceActiveFocus()
    }
    Component.onDestruction: viewModel.deinitialize()
}
