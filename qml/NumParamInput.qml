import QtQuick 2.15

// A titled numeric input with an error line that opens while the typed text
// is out of range. Laid out as a row (title left of the input) or a column
// (title above it).
Rectangle {
    id: root

    property string title: ""
    property string errorTip: ""
    property real titleWidth: width / 2
    property real padding: 8
    property string dir: "row"
    property alias type: input.type
    property alias min: input.min
    property alias max: input.max
    property alias value: input.text
    property color titleColor: Public.theme.textMainColor

    signal correctIllegalValue

    readonly property bool isRow: dir !== "col"

    color: Public.theme.noFillColor
    width: 120
    height: isRow ? 48 : 68

    Text {
        id: titleText
        objectName: "title"
        x: root.isRow ? 0 : root.padding
        y: 0
        width: root.isRow ? Math.max(0, root.titleWidth - root.padding) : root.width - root.padding
        height: root.isRow ? 32 : 20
        text: root.title
        textFormat: Text.PlainText
        horizontalAlignment: root.isRow ? Text.AlignRight : Text.AlignLeft
        verticalAlignment: Text.AlignVCenter
        font.pixelSize: 16
        color: root.titleColor
        Accessible.ignored: true
    }

    MyInput {
        id: input
        objectName: "input"
        type: "int"
        min: 1
        max: 10000
        text: "1"
        anchors.right: parent.right
        y: root.isRow ? 0 : 20
        width: root.isRow ? root.width - root.titleWidth : root.width - root.padding
        height: 32
        Accessible.name: root.title
        Accessible.description: input.acceptableInput ? "" : root.errorTip
        onCorrectIllegalValue: root.correctIllegalValue()
    }

    Text {
        id: errorText
        objectName: "errorTip"
        x: Math.max(root.padding, Math.min(input.x, root.width - implicitWidth))
        y: input.y + input.height + 1
        height: input.acceptableInput ? 0 : 16
        clip: true
        text: root.errorTip
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignLeft
        verticalAlignment: Text.AlignVCenter
        font.pixelSize: 12
        font.bold: true
        color: Public.theme.inputErrorColor
        Accessible.ignored: true

        Behavior on height {
            NumberAnimation {
                duration: 250
            }
        }
    }
}
