import QtQuick 2.15
import OrrindelRecording 1.0

// A chart's save button. While an export is written it shows how far it is
// in place of the icon; a click meanwhile asks for one more, written after
// it. Its text keeps the chart's translation context.
IconButton {
    id: root

    property WaveRecording recording: null

    objectName: "saveButton"
    width: 28
    height: 28
    tipText: qsTranslate("NormalChart", "保存波形")
    iconShown: !recording.exporting

    Text {
        objectName: "exportProgress"
        anchors.centerIn: parent
        visible: root.recording.exporting
        text: Math.floor(root.recording.exportProgress * 100) + "%"
        color: root.iconColor
        font.pixelSize: 9
        font.bold: true
    }
}
