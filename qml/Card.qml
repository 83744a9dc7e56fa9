import QtQuick 2.15

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
    // The width that the items in the header's right end (buttons, a lamp)
    // take, from the card's right edge to the left end of the leftmost one.
    // The title keeps 8 px clear of them and is elided at its right end; with
    // none (0) it keeps 12 px clear of the card's right edge.
    property real headerInset: 0

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

    // The raised look: a light shadow up-left, a dark one down-right.
    SoftShadow {
        anchors.fill: background
        visible: root.showShadow
        source: background
        horizontalOffset: -8
        verticalOffset: -8
        samples: 41
        radius: 20
        color: Public.theme.cardShadowLight
    }

    SoftShadow {
        anchors.fill: background
        visible: root.showShadow
        source: background
        horizontalOffset: 8
        verticalOffset: 8
        samples: 41
        radius: 20
        color: Public.theme.cardShadowDark
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
        id: titleRow

        objectName: "cardTitleRow"
        x: 12
        y: 4
        height: 32
        spacing: 4

        Image {
            id: titleImage

            anchors.verticalCenter: parent.verticalCenter
            width: 24
            height: 24
            sourceSize: Qt.size(24, 24)
            visible: root.titleIcon !== ""
            source: root.titleIcon
        }

        Text {
            objectName: "cardTitle"
            anchors.verticalCenter: parent.verticalCenter
            width: Math.max(0, Math.min(implicitWidth, root.width - titleRow.x
                                        - (root.titleIcon !== "" ? titleImage.width + titleRow.spacing : 0)
                                        - (root.headerInset > 0 ? root.headerInset + 8 : 12)))
            elide: Text.ElideRight
            text: root.title
            textFormat: Text.PlainText
            font.pixelSize: 20
            color: root.titleColor
            Accessible.ignored: true
        }
    }
}
