import QtQuick 2.15
import QtQuick.Controls 2.15

// A soft raised button with a tinted icon and a delayed tooltip.
ButtonBase {
    id: root

    property url btnIcon: "qrc:/res/icons/baocun.svg"
    // False: the button shows what its children draw instead of the icon.
    property bool iconShown: true
    property color iconColor: Public.theme.btnIconColor
    property string tipText: qsTr("保存")
    property int iconWidth: width
    property int animateDelay: 2000

    // One full turn of the icon; a positive delay becomes the new duration.
    function rotate360(delay) {
        if (delay > 0)
            animateDelay = delay
        spin.restart()
    }

    width: 60
    height: 60

    Accessible.name: tipText

    onEntered: {
        if (root.tipText !== "")
            tip.open()
    }
    onExited: tip.close()

    Item {
        id: iconBox
        objectName: "iconBox"
        visible: root.iconShown
        width: root.iconWidth * 0.9
        height: width
        anchors.centerIn: parent
        anchors.horizontalCenterOffset: root.sunk ? 1 : 0
        anchors.verticalCenterOffset: root.sunk ? 1 : 0

        // The icon in one colour, made once per colour and size.
        Image {
            id: icon
            objectName: "icon"
            anchors.fill: parent
            source: "image://tinted/" + String(root.iconColor).substring(1) + "/" + root.btnIcon
            sourceSize: Qt.size(width, height)
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
}
