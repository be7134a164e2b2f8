import QtQuick 2.15
import "qrc:/gui/qml/desktop" as Desktop
import Desktop 0.1 as Desktop
import Mvvm 1.0 as Mvvm
import Application 1.0 as Application

// The settings dialog over the settings view model: durations and switches
// (only when opened from the settings command), the output profile, folder
// and name, and whether to ask before every conversion. Opened before a
// conversion (ConvertMode) it asks to continue or cancel; "Continue" makes
// the dialog's result 1. Whatever closes it, the settings are applied.
Rectangle {
    id: root

    property variant viewModel: dataContext

    property string dialogTitle: qsTr("Settings")
    property string dialogIcon: ":/image/application-icon"
    property bool dialogMinimizeButton: false
    property bool dialogMaximizeButton: false
    property bool dialogResizable: false
    property int dialogResult: 0
    signal dialogCloseRequested()

    readonly property bool defaultMode: viewModel.mode === Application.SettingsViewModel.DefaultMode
    // The Mac look closes its settings with the window's own close box;
    // every other look gets a row of buttons.
    readonly property bool hasButtons: !defaultMode || !isMac()
    readonly property int columnWidth: 410
    readonly property int controlX: Math.round(columnWidth * 5 / 17)
    readonly property int labelGap: 6
    readonly property int fieldHeight: 21
    readonly property color separatorColor: Qt.darker(palette.window, 1.3)

    // The formats in the order of the format box.
    readonly property var formats: [
        Application.SettingsViewModel.WindowsFormat,
        Application.SettingsViewModel.MacFormat,
        Application.SettingsViewModel.IPhone5Format,
        Application.SettingsViewModel.IPhone4Format,
        Application.SettingsViewModel.IPhoneFormat,
        Application.SettingsViewModel.IPad3Format,
        Application.SettingsViewModel.IPadFormat,
        Application.SettingsViewModel.YouTubeFormat,
        Application.SettingsViewModel.FacebookFormat
    ]
    readonly property var qualities: [
        Application.SettingsViewModel.HighQuality,
        Application.SettingsViewModel.MediumQuality,
        Application.SettingsViewModel.LowQuality
    ]

    function isWindows() { return /.*windows.*/.test(styleitem.style) }
    function isWindowsVista() { return /.*vista.*/.test(styleitem.style) }
    function isMac() { return styleitem.style === "mac" }

    function changeOutputFolder() {
        var folder = dialog.showDirectoryDialog(viewModel.outputFolder, qsTr("Choose output folder"))
        if (folder !== "")
            viewModel.outputFolder = folder
    }

    function updateFormatIndex() {
        var index = formats.indexOf(viewModel.format)
        if (index >= 0)
            formatBox.selectedIndex = index
    }
    // The box offers two aspects; a device's own (the iPhone 5's 1.775, the
    // older iPhones' 3:2) shows as the nearer of them, not always as 4:3.
    function updateAspectIndex() {
        aspectBox.selectedIndex = Math.abs(viewModel.aspect - 16 / 9) <= Math.abs(viewModel.aspect - 4 / 3) ? 0 : 1
    }
    function updateQualityIndex() {
        var index = qualities.indexOf(viewModel.quality)
        if (index >= 0)
            qualityBox.selectedIndex = index
    }

    // Seconds as the duration fields show them: the hundredths the view
    // model keeps, one decimal at least ("6.0", "0.25"), never the process
    // locale's separator.
    function secondsText(value) {
        var text = Number(value).toFixed(2)
        return text.charAt(text.length - 1) === "0" ? text.slice(0, -1) : text
    }

    width: columnWidth + 2 * 18
    height: hasButtons ? buttons.y + buttons.height + 14 : column.y + column.height + 18
    color: palette.window

    Mvvm.Dialog { id: dialog }
    SystemPalette { id: palette; colorGroup: SystemPalette.Active }
    SystemPalette { id: disabledPalette; colorGroup: SystemPalette.Disabled }
    Desktop.StyleItem { id: styleitem; visible: false }
    Text { id: fontTemplate; visible: false; text: "X" }

    Column {
        id: column

        x: 18
        y: 18
        width: root.columnWidth
        spacing: 8

        // Photo duration.
        Item {
            id: photoDurationRow
            visible: root.defaultMode
            width: column.width
            height: Math.max(photoDurationSlider.height, photoDurationField.height)

            Item {
                x: root.controlX
                width: column.width - x
                height: parent.height

                Text {
                    anchors.right: parent.left
                    anchors.rightMargin: root.labelGap
                    anchors.verticalCenter: parent.verticalCenter
                    font: fontTemplate.font
                    color: !viewModel.useAudioDuration ? palette.windowText : disabledPalette.windowText
                    text: qsTr("Photo duration:")
                }
                Desktop.Slider {
                    id: photoDurationSlider
                    objectName: "photoDurationSlider"
                    width: 210
                    anchors.verticalCenter: parent.verticalCenter
                    enabled: !viewModel.useAudioDuration
                    minimumValue: 1.0
                    maximumValue: 10.0
                    stepSize: 0.5
                    onValueChanged: if (pressed) viewModel.slideDuration = value
                }
                Desktop.TextField {
                    id: photoDurationField
                    objectName: "photoDurationField"
                    anchors.left: photoDurationSlider.right
                    anchors.leftMargin: 8
                    anchors.verticalCenter: parent.verticalCenter
                    width: Math.round(changeButton.width * 2 / 3)
                    height: root.fieldHeight
                    enabled: !viewModel.useAudioDuration
                    property string completedFrom
                    validator: root.secondsTyped
                    // The transition is bounded by the photo's time only once
                    // it is committed: "10" typed passes through "1".
                    onTextChanged: root.durationTyped(photoDurationField, function(seconds) {
                        viewModel.typeSlideDuration(seconds)
                    })
                    onEditingFinished: {
                        viewModel.commitSlideDuration()
                        root.showDurations(true)
                    }
                }
            }
        }

        // Transition duration.
        Item {
            id: transitionRow
            visible: root.defaultMode
            width: column.width
            height: Math.max(transitionSlider.height, transitionField.height)

            Item {
                x: root.controlX
                width: column.width - x
                height: parent.height

                Text {
                    anchors.right: parent.left
                    anchors.rightMargin: root.labelGap
                    anchors.verticalCenter: parent.verticalCenter
                    font: fontTemplate.font
                    color: palette.windowText
                    text: qsTr("Transition duration:")
                }
                Desktop.Slider {
                    id: transitionSlider
                    objectName: "transitionSlider"
                    width: 210
                    anchors.verticalCenter: parent.verticalCenter
                    minimumValue: 0.0
                    maximumValue: 2.0
                    stepSize: 0.1
                    onValueChanged: if (pressed) viewModel.transitionDuration = value
                }
                Desktop.TextField {
                    id: transitionField
                    objectName: "transitionField"
                    anchors.left: transitionSlider.right
                    anchors.leftMargin: 8
                    anchors.verticalCenter: parent.verticalCenter
                    width: Math.round(changeButton.width * 2 / 3)
                    height: root.fieldHeight
                    property string completedFrom
                    validator: root.secondsTyped
                    onTextChanged: root.durationTyped(transitionField, function(seconds) {
                        viewModel.transitionDuration = seconds
                    })
                    onEditingFinished: root.showDurations(true)
                }
            }
        }

        Desktop.CheckBox {
            id: alignBox
            objectName: "alignToAudioBox"
            visible: root.defaultMode
            x: root.controlX
            text: " " + qsTr("Align slideshow duration according audio")
            onCheckedChanged: if (viewModel.useAudioDuration !== checked) viewModel.useAudioDuration = checked
            Binding on checked { value: viewModel.useAudioDuration }
        }

        Desktop.CheckBox {
            id: kenBurnsBox
            objectName: "kenBurnsBox"
            visible: root.defaultMode
            x: root.controlX
            text: " " + qsTr("Apply Ken Burns effect")
            onCheckedChanged: if (viewModel.useKenBurns !== checked) viewModel.useKenBurns = checked
            Binding on checked { value: viewModel.useKenBurns }
        }

        Item {
            visible: root.defaultMode
            width: root.columnWidth
            height: 9 + 1 + 10
            Rectangle { y: 9; width: parent.width; height: 1; color: root.separatorColor }
        }

        // Output profile.
        Item {
            width: column.width
            height: root.fieldHeight

            Item {
                x: root.controlX
                height: parent.height

                Text {
                    anchors.right: parent.left
                    anchors.rightMargin: root.labelGap
                    anchors.verticalCenter: parent.verticalCenter
                    font: fontTemplate.font
                    color: palette.windowText
                    text: qsTr("Video format:")
                }
                Desktop.ComboBox {
                    id: formatBox
                    objectName: "formatBox"
                    width: 210
                    height: root.fieldHeight

                    Desktop.MenuItem { text: "  " + qsTr("Windows Standard"); onTriggered: viewModel.format = root.formats[0] }
                    Desktop.MenuItem { text: "  " + qsTr("Mac OS X Standard"); onTriggered: viewModel.format = root.formats[1] }
                    Desktop.MenuItem { text: "  " + qsTr("iPhone 5"); onTriggered: viewModel.format = root.formats[2] }
                    Desktop.MenuItem { text: "  " + qsTr("iPhone 4"); onTriggered: viewModel.format = root.formats[3] }
                    Desktop.MenuItem { text: "  " + qsTr("iPhone 3GS"); onTriggered: viewModel.format = root.formats[4] }
                    Desktop.MenuItem { text: "  " + qsTr("iPad with Retina Display"); onTriggered: viewModel.format = root.formats[5] }
                    Desktop.MenuItem { text: "  " + qsTr("iPad and iPad Mini"); onTriggered: viewModel.format = root.formats[6] }
                    Desktop.MenuItem { text: "  " + qsTr("YouTube Video"); onTriggered: viewModel.format = root.formats[7] }
                    Desktop.MenuItem { text: "  " + qsTr("Facebook Video"); onTriggered: viewModel.format = root.formats[8] }
                }
            }
        }

        Item {
            width: column.width
            height: root.fieldHeight

            Item {
                x: root.controlX
                height: parent.height

                Text {
                    anchors.right: parent.left
                    anchors.rightMargin: root.labelGap
                    anchors.verticalCenter: parent.verticalCenter
                    font: fontTemplate.font
                    color: viewModel.aspectEnabled ? palette.windowText : disabledPalette.windowText
                    text: qsTr("Video aspect:")
                }
                Desktop.ComboBox {
                    id: aspectBox
                    objectName: "aspectBox"
                    width: 210
                    height: root.fieldHeight
                    enabled: viewModel.aspectEnabled

                    Desktop.MenuItem { text: "  " + "16 : 9"; onTriggered: viewModel.aspect = 16.0 / 9.0 }
                    Desktop.MenuItem { text: "  " + "4 : 3"; onTriggered: viewModel.aspect = 4.0 / 3.0 }
                }
            }
        }

        Item {
            width: column.width
            height: root.fieldHeight + 4 + qualityHint.height

            Item {
                x: root.controlX
                height: root.fieldHeight

                Text {
                    anchors.right: parent.left
                    anchors.rightMargin: root.labelGap
                    anchors.verticalCenter: parent.verticalCenter
                    font: fontTemplate.font
                    color: viewModel.qualityEnabled ? palette.windowText : disabledPalette.windowText
                    text: qsTr("Video quality:")
                }
                Desktop.ComboBox {
                    id: qualityBox
                    objectName: "qualityBox"
                    width: 210
                    height: root.fieldHeight
                    selectedIndex: 1
                    enabled: viewModel.qualityEnabled

                    Desktop.MenuItem { text: "  " + qsTr("High"); onTriggered: viewModel.quality = root.qualities[0] }
                    Desktop.MenuItem { text: "  " + qsTr("Medium"); onTriggered: viewModel.quality = root.qualities[1] }
                    Desktop.MenuItem { text: "  " + qsTr("Low"); onTriggered: viewModel.quality = root.qualities[2] }
                }
                Text {
                    id: qualityHint
                    objectName: "qualityHint"
                    x: 2
                    y: root.fieldHeight + 4
                    text: viewModel.qualityHint
                    color: palette.windowText
                    font.family: fontTemplate.font.family
                    font.pixelSize: fontTemplate.fontInfo.pixelSize - 1
                }
            }
        }

        Item {
            visible: root.defaultMode
            width: root.columnWidth
            height: 9 + 1 + 10
            Rectangle { y: 9; width: parent.width; height: 1; color: root.separatorColor }
        }
        // Before a conversion the folder row follows the quality row 18
        // pixels down.
        Item { visible: !root.defaultMode; width: 1; height: 2 }

        // Output folder and name.
        Item {
            width: column.width
            height: Math.max(root.fieldHeight, changeButton.height)

            Item {
                x: root.controlX
                width: column.width - x
                height: parent.height

                Text {
                    anchors.right: parent.left
                    anchors.rightMargin: root.labelGap
                    anchors.verticalCenter: parent.verticalCenter
                    font: fontTemplate.font
                    color: palette.windowText
                    text: qsTr("Output folder:")
                }
                Desktop.TextField {
                    id: folderField
                    objectName: "outputFolderField"
                    width: 210
                    height: root.fieldHeight
                    anchors.verticalCenter: parent.verticalCenter
                    onTextChanged: if (viewModel.outputFolder !== text) viewModel.outputFolder = text
                    Binding on text { value: viewModel.outputFolder }
                }
                Desktop.Button {
                    id: changeButton
                    objectName: "changeButton"
                    anchors.left: folderField.right
                    anchors.leftMargin: 8
                    anchors.verticalCenter: parent.verticalCenter
                    text: qsTr("Change")
                    tooltip: qsTr("Change output folder")
                    focus: root.defaultMode
                    onClicked: root.changeOutputFolder()
                }
            }
        }

        Item {
            width: column.width
            height: root.fieldHeight

            Item {
                x: root.controlX
                height: parent.height

                Text {
                    anchors.right: parent.left
                    anchors.rightMargin: root.labelGap
                    anchors.verticalCenter: parent.verticalCenter
                    font: fontTemplate.font
                    color: palette.windowText
                    text: qsTr("Slideshow name:")
                }
                Desktop.TextField {
                    id: nameField
                    objectName: "slideshowNameField"
                    width: 210
                    height: root.fieldHeight
                    onTextChanged: if (viewModel.slideshowName !== text) viewModel.slideshowName = text
                    Binding on text { value: viewModel.slideshowName }
                }
            }
        }

        Desktop.CheckBox {
            id: askBox
            objectName: "needClarifyBox"
            x: root.controlX
            text: " " + qsTr("Ask every time before making slideshow")
            onCheckedChanged: if (viewModel.needClarify !== checked) viewModel.needClarify = checked
            Binding on checked { value: viewModel.needClarify }
        }
    }

    Item {
        id: buttons

        visible: root.hasButtons
        x: 14
        y: column.y + column.height + 26
        width: root.width - 28
        height: closeButton.height

        Row {
            anchors.right: parent.right
            spacing: 8
            // Windows puts the affirmative button first, the Mac last.
            layoutDirection: root.isMac() ? Qt.RightToLeft : Qt.LeftToRight
            visible: !root.defaultMode

            Desktop.Button {
                id: continueButton
                objectName: "continueButton"
                text: qsTr("Continue")
                defaultbutton: true
                focus: !root.defaultMode
                onClicked: { root.dialogResult = 1; root.dialogCloseRequested() }
            }
            Desktop.Button {
                objectName: "cancelButton"
                text: qsTr("Cancel")
                onClicked: root.dialogCloseRequested()
            }
        }

        Desktop.Button {
            id: closeButton
            objectName: "closeButton"
            anchors.right: parent.right
            visible: root.defaultMode
            text: qsTr("Close")
            defaultbutton: true
            focus: root.defaultMode
            onClicked: root.dialogCloseRequested()
        }
    }

    // Seconds as they may be typed: two digits, a point and two decimals.
    // The view model keeps the number within its bounds.
    property RegularExpressionValidator secondsTyped: RegularExpressionValidator {
        regularExpression: /[0-9]{0,2}([.][0-9]{0,2})?/
    }
    property bool showingDurations: false

    // A number typed goes to the view model at once, and the field shows at
    // once the value the show will use (showDuration), unless the user has
    // just deleted the part it had completed.
    function durationTyped(field, write) {
        if (showingDurations)
            return
        var typed = field.text
        var deletedTheCompletion = typed !== "" && typed === field.completedFrom
        field.completedFrom = ""
        var seconds = parseFloat(typed)
        if (deletedTheCompletion || isNaN(seconds))
            return
        write(seconds)
        showDurations()
    }

    // Where the user types the start of the value in use ("0" of "0.5"),
    // the rest is shown selected, so that typing on replaces it. What is
    // typed and already the value ("6.", ".5") stays until the field is
    // left (`settled`), which shows the value one way ("6.0", "0.5").
    function showDuration(field, seconds, settled) {
        if (!settled && parseFloat(field.text) === seconds)
            return
        var typed = field.text
        var shown = secondsText(seconds)
        showingDurations = true
        field.text = shown
        showingDurations = false
        if (field.activeFocus && typed !== "" && shown.indexOf(typed) === 0) {
            field.completedFrom = typed
            field.select(typed.length, shown.length)
        }
    }

    // The view model moves the sliders and the fields.
    function showDurations(settled) {
        photoDurationSlider.value = viewModel.slideDuration
        showDuration(photoDurationField, viewModel.slideDuration, settled === true)
        transitionSlider.value = viewModel.transitionDuration
        showDuration(transitionField, viewModel.transitionDuration, settled === true)
    }

    Connections {
        target: viewModel
        function onSlideDurationChanged() { root.showDurations() }
        function onTransitionDurationChanged() { root.showDurations() }
    }

    Component.onCompleted: {
        showDurations()
        updateFormatIndex()
        updateAspectIndex()
        updateQualityIndex()
        viewModel.formatChanged.connect(updateFormatIndex)
        viewModel.aspectChanged.connect(updateAspectIndex)
        viewModel.qualityChanged.connect(updateQualityIndex)
    }
    Component.onDestruction: {
        viewModel.formatChanged.disconnect(updateFormatIndex)
        viewModel.aspectChanged.disconnect(updateAspectIndex)
        viewModel.qualityChanged.disconnect(updateQualityIndex)
        viewModel.apply()
    }
}
