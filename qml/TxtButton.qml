import QtQuick 2.15

// A soft raised button with a text.
ButtonBase {
    id: root

    text: qsTr("按钮")

    width: 64
    height: 32
    z: 1

    Text {
        id: label
        objectName: "label"
        anchors.fill: parent
        anchors.leftMargin: 4
        anchors.rightMargin: 4
        anchors.topMargin: 2
        anchors.bottomMargin: 2
        transform: Translate {
            x: root.sunk ? 1 : 0
            y: root.sunk ? 1 : 0
        }
        text: root.text
        textFormat: Text.PlainText
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        font.pixelSize: 18
        fontSizeMode: Text.Fit
        minimumPixelSize: 10
        color: root.enabled ? Public.theme.textMainColor : Public.theme.disabledTextColor
        Accessible.ignored: true
    }
}
