import QtQuick 2.15

// A handle of MySlider or MyRangeSlider with its value tip above it. The
// objectNames of the handle and its parts take namePrefix ("handle", "tip",
// or "firstHandle", "firstTip" ...).
Rectangle {
    id: handle

    // The slider: its padding, width and animTime.
    property Item slider
    property string namePrefix: ""
    property real visualPosition: 0
    property bool pressed: false
    // Whether the handle eases to a new place over the slider's animTime.
    property bool animate: false
    property string tipText: ""
    // The tip shows a value the handle cannot: in the warning colour.
    property bool warning: false
    property real tipWidth: 48
    // How far the tip moves aside from the handle's centre; the pointer
    // leans half as far.
    property real tipShift: 0

    function partName(name) {
        return namePrefix === "" ? name : namePrefix + name.charAt(0).toUpperCase() + name.slice(1)
    }

    objectName: partName("handle")
    x: slider.leftPadding + visualPosition * (slider.availableWidth - width)
    y: slider.topPadding
    width: 24
    height: width
    radius: width / 2
    gradient: Public.theme.barBtnGradient
    border.width: 1
    border.color: Public.theme.barBtnBorderColor

    Behavior on x {
        enabled: handle.animate
        NumberAnimation {
            duration: handle.slider.animTime
            easing.type: Easing.OutQuad
        }
    }

    Rectangle {
        id: tip
        objectName: handle.partName("tip")
        width: handle.tipWidth
        height: 22
        radius: 4
        x: (handle.width - width) / 2 + handle.tipShift
        y: -8 - height
        color: Public.theme.barTipBgColor

        Text {
            objectName: handle.partName("tipLabel")
            anchors.fill: parent
            anchors.leftMargin: 2
            anchors.rightMargin: 2
            text: handle.tipText
            textFormat: Text.PlainText
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            font.pixelSize: 14
            fontSizeMode: Text.Fit
            minimumPixelSize: 10
            color: handle.warning ? Public.theme.warningColor : Public.theme.barTipTextColor
            Accessible.ignored: true
        }
    }

    Triangle {
        objectName: handle.partName("pointer")
        width: 10
        height: 10
        x: (handle.width - width) / 2 + handle.tipShift / 2
        y: tip.y + tip.height - height / 2
        color: Public.theme.barTipBgColor
    }

    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.NoButton
        cursorShape: handle.pressed ? Qt.ClosedHandCursor : Qt.OpenHandCursor
    }
}
