import QtQuick 2.15

// The groove of MySlider and MyRangeSlider, with the filled part and, hung
// below it, the range's two ends and the slider's title.
Rectangle {
    id: groove

    // The slider: its padding, width, range, title and formats.
    property Item slider
    property real handleSize: 24
    property real fillX: 1
    property real fillWidth: 0
    // Whether the fill eases to a new place over the slider's animTime.
    property bool animate: false

    objectName: "groove"
    x: slider.leftPadding
    y: slider.topPadding + (handleSize - height) / 2
    width: slider.availableWidth
    height: 10
    radius: height / 2
    gradient: Public.theme.barBgGradient

    Rectangle {
        objectName: "fill"
        x: groove.fillX
        y: 1
        height: 8
        radius: 4
        width: groove.fillWidth
        color: Public.theme.barFrColor

        Behavior on x {
            enabled: groove.animate
            NumberAnimation {
                duration: groove.slider.animTime
                easing.type: Easing.OutQuad
            }
        }
        Behavior on width {
            enabled: groove.animate
            NumberAnimation {
                duration: groove.slider.animTime
                easing.type: Easing.OutQuad
            }
        }
    }

    Item {
        y: groove.handleSize / 2 + 6
        width: parent.width
        height: 18

        Text {
            objectName: "lowerLabel"
            anchors.left: parent.left
            anchors.verticalCenter: parent.verticalCenter
            text: groove.slider.format(groove.slider.from, groove.slider.rangeFormat)
            textFormat: Text.PlainText
            font.pixelSize: 13
            color: Public.theme.textMainColor
            Accessible.ignored: true
        }

        Text {
            objectName: "titleLabel"
            anchors.centerIn: parent
            text: groove.slider.title
            textFormat: Text.PlainText
            font.pixelSize: 16
            color: Public.theme.textMainColor
            Accessible.ignored: true
        }

        Text {
            objectName: "upperLabel"
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            text: groove.slider.format(groove.slider.to, groove.slider.rangeFormat)
            textFormat: Text.PlainText
            font.pixelSize: 13
            color: Public.theme.textMainColor
            Accessible.ignored: true
        }
    }
}
