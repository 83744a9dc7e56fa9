import QtQuick 2.15
import QtQuick.Controls 2.15
import QtGraphicalEffects 1.15

// A soft raised button with a tinted icon and a delayed tooltip. The shadows
// take the face as their source, never the icon.
Item {
    id: root

    property url btnIcon: "qrc:/res/icons/baocun.svg"
    property color iconColor: Public.theme.btnIconColor
    property string tipText: qsTr("保存")
    property int iconWidth: width
    property int animateDelay: 2000

    signal clicked

    // One full turn of the icon; a positive delay becomes the new duration.
    function rotate360(delay) {
        if (delay > 0)
            animateDelay = delay
        spin.restart()
    }

    width: 60
    height: 60

    Accessible.role: Accessible.Button
    Accessible.name: tipText
    Accessible.focusable: true
    Accessible.onPressAction: root.clicked()

    QtObject {
        id: d
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

    Item {
        id: iconBox
        objectName: "iconBox"
        width: root.iconWidth * 0.9
        height: width
        anchors.centerIn: parent
        anchors.horizontalCenterOffset: mouseArea.pressed ? 1 : 0
        anchors.verticalCenterOffset: mouseArea.pressed ? 1 : 0

        Image {
            id: icon
            anchors.fill: parent
            source: root.btnIcon
            sourceSize: Qt.size(width, height)
            visible: false
        }

        ColorOverlay {
            anchors.fill: icon
            source: icon
            color: root.iconColor
            cached: GraphicsInfo.api !== GraphicsInfo.Software
        }

        RotationAnimation on rotation {
            id: spin
            running: false
            from: 0
            to: 360
            duration: root.animateDelay
            easing.type: Easing.OutQuad
        }
    }

    ToolTip {
        id: tip
        objectName: "tip"
        x: (root.width - width) / 2
        y: root.height + 4
        delay: 500
        timeout: 2000
        text: root.tipText
        font.pointSize: 14
        contentItem: Text {
            text: tip.text
            font: tip.font
            textFormat: Text.PlainText
            color: tip.palette.toolTipText
        }
    }

    MouseArea {
        id: mouseArea
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onEntered: {
            d.faceColor = Public.theme.btnEnterColor
            if (root.tipText !== "")
                tip.open()
        }
        onExited: {
            d.faceColor = Public.theme.btnReleaseColor
            tip.close()
        }
        onPressed: {
            d.faceColor = Public.theme.btnPressColor
            root.forceActiveFocus(Qt.MouseFocusReason)
        }
        onReleased: d.faceColor = Public.theme.btnReleaseColor
        onCanceled: d.faceColor = Public.theme.btnReleaseColor
        onClicked: root.clicked()
    }
}
