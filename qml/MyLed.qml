import QtQuick 2.15

// A round lamp with a caption inside and a title below.
Item {
    id: root

    property bool ledEnabled: true
    property bool ledState: false
    property real radius: 15
    property real titleGap: 6
    property string title: "LED"
    property color onColor: Public.theme.ledOnColor
    property color offColor: Public.theme.ledOffColor
    property color disableColor: Public.theme.lampOffColor
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

    // The lamp eases to a new colour over 250 ms (OutQuad), in a few steps
    // rather than at the frame rate. As the receive lamp it changes twice with
    // every record: an animation would keep the whole window rendering 60
    // frames a second for a 16 px lamp (with OpenGL each a full repaint).
    QtObject {
        id: fade

        readonly property color target: !root.ledEnabled ? root.disableColor
                                                         : root.ledState ? root.onColor : root.offColor
        readonly property int steps: 3
        property color from
        property color shown
        property int step: 0
        property bool ready: false

        // Each step shows the curve at the middle of its part of the fade;
        // the last tick lands on the target.
        function advance() {
            if (step >= steps) {
                shown = target
                stepTimer.stop()
                return
            }
            var t = (step + 0.5) / steps
            var k = 1 - (1 - t) * (1 - t)
            shown = Qt.rgba(from.r + (target.r - from.r) * k, from.g + (target.g - from.g) * k,
                            from.b + (target.b - from.b) * k, from.a + (target.a - from.a) * k)
            ++step
        }

        onTargetChanged: {
            if (!ready) {
                shown = target
                return
            }
            from = shown
            step = 0
            advance()
            stepTimer.restart()
        }
        Component.onCompleted: {
            shown = target
            ready = true
        }
    }

    Timer {
        id: stepTimer

        interval: 250 / fade.steps
        repeat: true
        onTriggered: fade.advance()
    }

    Rectangle {
        id: lamp
        objectName: "lamp"
        anchors.horizontalCenter: parent.horizontalCenter
        y: 0
        width: root.radius * 2
        height: width
        radius: root.radius
        color: fade.shown

        Text {
            anchors.centerIn: parent
            text: root.shownText
            textFormat: Text.PlainText
            color: Public.theme.lampMarkColor
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
