import QtQuick 2.15
import QtGraphicalEffects 1.15

// A soft raised button with a text. The shadows take the face as their
// source, never the text, so a changed text does not redraw them.
Item {
    id: root

    property string text: qsTr("按钮")

    signal clicked

    width: 64
    height: 32
    z: 1

    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.focusable: true
    Accessible.onPressAction: root.clicked()

    QtObject {
        id: d
        // Set by enter/leave/press/release, as the face colour follows the
        // last of these events.
        property color faceColor: Public.theme.btnReleaseColor
        readonly property int offset: mouseArea.pressed ? 1 : -1
    }

    Connections {
        target: Public
        function onThemeChanged() {
            d.faceColor = Public.theme.btnReleaseColor
        }
    }

    Rectangle {
        id: face
        objectName: "face"
        anchors.fill: parent
        radius: 4
        color: d.faceColor
    }

    // Cached only with a hardware scene graph. The software one draws no
    // shader effects, and there every cache is drawn again for every frame of
    // the window, e.g. for every frame of the receive lamp's animation.
    DropShadow {
        objectName: "dropShadow"
        anchors.fill: face
        source: face
        horizontalOffset: d.offset
        verticalOffset: d.offset
        samples: 5
        radius: 2
        color: Public.theme.btnShadowLight
        cached: GraphicsInfo.api !== GraphicsInfo.Software
    }

    InnerShadow {
        objectName: "innerShadow"
        anchors.fill: face
        source: face
        horizontalOffset: d.offset
        verticalOffset: d.offset
        samples: 5
        radius: 2
        color: root.enabled ? Public.theme.btnShadowDark : "gray"
        cached: GraphicsInfo.api !== GraphicsInfo.Software
    }

    Text {
        id: label
        objectName: "label"
        anchors.fill: parent
        anchors.leftMargin: 4
        anchors.rightMargin: 4
        anchors.topMargin: 2
        anchors.bottomMargin: 2
        transform: Translate {
            x: mouseArea.pressed ? 1 : 0
            y: mouseArea.pressed ? 1 : 0
        }
        text: root.text
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        font.pixelSize: 18
        fontSizeMode: Text.Fit
        minimumPixelSize: 10
        color: root.enabled ? Public.theme.textMainColor : "gray"
        Accessible.ignored: true
    }

    MouseArea {
        id: mouseArea
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onEntered: d.faceColor = Public.theme.btnEnterColor
        onExited: d.faceColor = Public.theme.btnReleaseColor
        onPressed: {
            d.faceColor = Public.theme.btnPressColor
            root.forceActiveFocus(Qt.MouseFocusReason)
        }
        onReleased: d.faceColor = Public.theme.btnReleaseColor
        onCanceled: d.faceColor = Public.theme.btnReleaseColor
        // MouseArea reports a click only when released inside the face.
        onClicked: root.clicked()
    }
}
