import QtQuick 2.15
import QtGraphicalEffects 1.15

// A rounded panel with an optional icon and title. Its free surface swallows
// presses and takes the keyboard focus, so clicking beside an input ends the
// editing there (the input then corrects an illegal value).
Item {
    id: root

    property string title
    property bool showShadow: false
    property color bgColor: Public.theme.cardBgColor
    property color titleColor: Public.theme.cardTitleColor
    property string titleIcon: ""

    function show() {
        visible = true
    }

    function hide() {
        visible = false
    }

    width: 100
    height: 200
    // The raised shadows lie outside the card; clipping would hide them.
    clip: !showShadow

    Accessible.role: Accessible.Grouping
    Accessible.name: title

    DropShadow {
        anchors.fill: background
        visible: root.showShadow
        source: background
        horizontalOffset: -8
        verticalOffset: -8
        samples: 41
        radius: 20
        color: "#EAFFFFFF"
        cached: true
    }

    DropShadow {
        anchors.fill: background
        visible: root.showShadow
        source: background
        horizontalOffset: 8
        verticalOffset: 8
        samples: 41
        radius: 20
        color: "#7FAAAACC"
        cached: true
    }

    Rectangle {
        id: background
        anchors.fill: parent
        radius: 8
        color: root.bgColor

        Behavior on color {
            ColorAnimation {
                duration: Public.colorSwitchDuration
                easing.type: Easing.OutQuad
            }
        }
    }

    MouseArea {
        objectName: "cardSurface"
        anchors.fill: parent
        onPressed: {
            root.forceActiveFocus(Qt.MouseFocusReason)
            mouse.accepted = true
        }
    }

    Row {
        x: 12
        y: 4
        height: 32
        spacing: 4

        Image {
            anchors.verticalCenter: parent.verticalCenter
            width: 24
            height: 24
            sourceSize: Qt.size(24, 24)
            visible: root.titleIcon !== ""
            source: root.titleIcon
        }

        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: root.title
            textFormat: Text.PlainText
            font.pixelSize: 20
            color: root.titleColor
            Accessible.ignored: true
        }
    }
}
