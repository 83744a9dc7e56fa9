import QtQuick 2.15

// A round lamp with a caption inside and a title below.
Item {
    id: root

    property bool ledEnabled: true
    property bool ledState: false
    property real radius: 15
    property real titleGap: 6
    property string title: "LED"
    property color onColor: "#c084ab"
    property color offColor: "#6495ED"
    property color disableColor: "#30000000"
    property string onText: qsTr("开")
    property string offText: qsTr("关")
    property string disableText: ""

    readonly property string shownText: !ledEnabled ? disableText : ledState ? onText : offText

    width: radius * 3
    height: radius * 3 + 6

    Accessible.role: Accessible.StatusBar
    Accessible.name: title
    Accessible.description: shownText
    Accessible.checkable: true
    Accessible.checked: ledEnabled && ledState

    Rectangle {
        id: lamp
        objectName: "lamp"
        anchors.horizontalCenter: parent.horizontalCenter
        y: 0
        width: root.radius * 2
        height: width
        radius: root.radius
        color: !root.ledEnabled ? root.disableColor : root.ledState ? root.onColor : root.offColor

        Behavior on color {
            ColorAnimation {
                duration: 250
                easing.type: Easing.OutQuad
            }
        }

        Text {
            anchors.centerIn: parent
            text: root.shownText
            textFormat: Text.PlainText
            color: "white"
            font.pixelSize: Math.max(1, root.radius * 1.2)
            Accessible.ignored: true
        }
    }

    Text {
        objectName: "title"
        anchors.horizontalCenter: parent.horizontalCenter
        y: lamp.height + root.titleGap
        text: root.title
        textFormat: Text.PlainText
        color: Public.theme.textMainColor
        font.pixelSize: Math.max(1, root.radius)
        Accessible.ignored: true
    }
}
