import QtQuick 2.15

// A sunken value box. Its shadows are made from the frame alone and cached
// (with a hardware scene graph); the text is drawn above them, so a new value
// repaints only the text.
Item {
    id: root

    property string text
    property color color: Public.theme.textMainColor
    property int fontSize: 16
    property bool fontBold: true

    width: 84
    height: 32

    Accessible.role: Accessible.StaticText
    Accessible.name: text

    // Beneath the frame; the inner shadow lies on it.
    SoftShadow {
        objectName: "dropShadow"
        anchors.fill: frame
        source: frame
        visible: Public.theme.shadowTextShadowEnable
        horizontalOffset: 1
        verticalOffset: 1
        samples: 5
        radius: 2
        color: Public.theme.shadowTextShadowDark
    }

    Rectangle {
        id: frame
        objectName: "frame"
        anchors.fill: parent
        color: Public.theme.shadowTextBgColor
        border.width: Public.theme.shadowTextBorderWidth
        border.color: Public.theme.shadowTextBorderColor
        radius: Public.theme.shadowTextBorderRadius

        Behavior on color {
            ColorAnimation {
                duration: Public.colorSwitchDuration
                easing.type: Easing.OutQuad
            }
        }
    }

    SoftShadow {
        objectName: "innerShadow"
        anchors.fill: frame
        source: frame
        inner: true
        visible: Public.theme.shadowTextShadowEnable
        horizontalOffset: 1
        verticalOffset: 1
        samples: 5
        radius: 2
        color: Public.theme.shadowTextShadowLight
    }

    Text {
        id: label
        objectName: "label"
        anchors.fill: parent
        anchors.leftMargin: 2
        anchors.rightMargin: 2
        clip: true
        // Values may come from the device: never interpret them as markup.
        textFormat: Text.PlainText
        text: root.text
        color: root.color
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        font.pixelSize: root.fontSize
        font.weight: root.fontBold ? Font.Black : Font.Normal
        fontSizeMode: Text.Fit
        minimumPixelSize: 10
        Accessible.ignored: true
    }
}
