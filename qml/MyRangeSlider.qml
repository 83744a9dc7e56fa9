import QtQuick 2.15
import QtQuick.Templates 2.15 as T
import "value_format.js" as ValueFormat
import "control_rules.js" as Rules

// A two-handle slider. Each handle carries a value tip; when the handles come
// closer than a tip's width the tips part to either side so that both stay
// readable, their pointers still leaning towards their own handles. As in
// MySlider, a value a handle cannot show takes its tip's place, in the
// warning colour, until the operator moves that handle.
T.RangeSlider {
    id: control

    property bool valueRound: true
    property real firstValue: 0
    property real secondValue: 1
    property string unit: ""
    property string title: "slider"
    property string tipFormat: "${v}"
    property string rangeFormat: "${v}${u}"
    property int animTime: 250
    property bool animEnabled: true
    property real tipWidth: 48
    // Per handle: the owner's value where the handle cannot show it
    // (undefined when there is none), and whether the operator has moved the
    // handle since the owner last cleared the mark.
    property var firstDeviceValue: undefined
    property var secondDeviceValue: undefined
    property bool firstTouched: false
    property bool secondTouched: false
    readonly property bool firstDeviceValueShown: firstDeviceValue !== undefined && firstDeviceValue !== null
                                                  && !firstTouched
    readonly property bool secondDeviceValueShown: secondDeviceValue !== undefined && secondDeviceValue !== null
                                                   && !secondTouched

    readonly property string firstTipText: format(firstDeviceValueShown ? firstDeviceValue : firstValue, tipFormat)
    readonly property string secondTipText: format(secondDeviceValueShown ? secondDeviceValue : secondValue, tipFormat)
    readonly property real tipShift: first.handle && second.handle
                                     ? Rules.tipShift(second.handle.x - first.handle.x, tipWidth) : 0

    signal valueChanged(real firstValue, real secondValue)

    function format(val, fmtStr) {
        return ValueFormat.formatValue(val, fmtStr, unit)
    }

    QtObject {
        id: d
        property bool completed: false
        readonly property real handleSize: 24

        function sync() {
            control.firstValue = control.valueRound ? Math.round(control.first.value) : control.first.value
            control.secondValue = control.valueRound ? Math.round(control.second.value) : control.second.value
        }

        // One wheel notch moves the handle nearer to the pointer by one step.
        function wheelStep(px, up) {
            var p = px / control.availableWidth
            var node = Rules.nearerHandle(p, control.first.position, control.second.position) === 0
                    ? control.first : control.second
            var other = node === control.first ? control.second : control.first
            if (up)
                node.increase()
            else
                node.decrease()
            // Keep the moved handle on top when the two meet.
            other.handle.z = 1
            node.handle.z = 2
            node.moved()
        }
    }

    padding: 0
    topPadding: 32
    bottomPadding: 10

    implicitWidth: 200
    implicitHeight: Math.max(topPadding + 43, topPadding + bottomPadding + d.handleSize)

    Accessible.role: Accessible.Slider
    Accessible.name: title
    Accessible.description: (firstDeviceValueShown ? qsTr("%1 (设备值)").arg(firstTipText) : firstTipText) + " ~ "
                            + (secondDeviceValueShown ? qsTr("%1 (设备值)").arg(secondTipText) : secondTipText)

    first.onValueChanged: {
        d.sync()
        control.valueChanged(firstValue, secondValue)
    }
    second.onValueChanged: {
        d.sync()
        control.valueChanged(firstValue, secondValue)
    }
    first.onMoved: firstTouched = true
    second.onMoved: secondTouched = true
    onValueRoundChanged: d.sync()

    Component.onCompleted: {
        d.sync()
        d.completed = true
    }

    background: Rectangle {
        id: groove
        objectName: "groove"
        x: control.leftPadding
        y: control.topPadding + (d.handleSize - height) / 2
        width: control.availableWidth
        height: 10
        radius: height / 2
        gradient: Public.theme.barBgGradient

        Rectangle {
            objectName: "fill"
            y: 1
            height: 8
            radius: 4
            x: control.first.position * groove.width + 3
            width: Math.max(0, (control.second.position - control.first.position) * groove.width - 8)
            color: Public.theme.barFrColor

            Behavior on x {
                enabled: d.completed && control.animEnabled && !control.first.pressed && !control.second.pressed
                NumberAnimation {
                    duration: control.animTime
                    easing.type: Easing.OutQuad
                }
            }
            Behavior on width {
                enabled: d.completed && control.animEnabled && !control.first.pressed && !control.second.pressed
                NumberAnimation {
                    duration: control.animTime
                    easing.type: Easing.OutQuad
                }
            }
        }

        Item {
            y: d.handleSize / 2 + 6
            width: parent.width
            height: 18

            Text {
                objectName: "lowerLabel"
                anchors.left: parent.left
                anchors.verticalCenter: parent.verticalCenter
                text: control.format(control.from, control.rangeFormat)
                textFormat: Text.PlainText
                font.pixelSize: 13
                color: Public.theme.textMainColor
                Accessible.ignored: true
            }

            Text {
                objectName: "titleLabel"
                anchors.centerIn: parent
                text: control.title
                textFormat: Text.PlainText
                font.pixelSize: 16
                color: Public.theme.textMainColor
                Accessible.ignored: true
            }

            Text {
                objectName: "upperLabel"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                text: control.format(control.to, control.rangeFormat)
                textFormat: Text.PlainText
                font.pixelSize: 13
                color: Public.theme.textMainColor
                Accessible.ignored: true
            }
        }
    }

    first.handle: Rectangle {
        id: firstHandle
        objectName: "firstHandle"
        x: control.leftPadding + control.first.visualPosition * (control.availableWidth - width)
        y: control.topPadding
        width: d.handleSize
        height: d.handleSize
        radius: width / 2
        gradient: Public.theme.barBtnGradient
        border.width: 1
        border.color: Public.theme.barBtnBorderColor

        Behavior on x {
            enabled: d.completed && control.animEnabled && !control.first.pressed
            NumberAnimation {
                duration: control.animTime
                easing.type: Easing.OutQuad
            }
        }

        Rectangle {
            id: firstTip
            objectName: "firstTip"
            width: control.tipWidth
            height: 22
            radius: 4
            x: (firstHandle.width - width) / 2 - control.tipShift
            y: -8 - height
            color: Public.theme.barTipBgColor

            Text {
                objectName: "firstTipLabel"
                anchors.fill: parent
                anchors.leftMargin: 2
                anchors.rightMargin: 2
                text: control.firstTipText
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                font.pixelSize: 14
                fontSizeMode: Text.Fit
                minimumPixelSize: 10
                color: control.firstDeviceValueShown ? Public.theme.warningColor : Public.theme.barTipTextColor
                Accessible.ignored: true
            }
        }

        Triangle {
            objectName: "firstPointer"
            width: 10
            height: 10
            x: (firstHandle.width - width) / 2 - control.tipShift / 2
            y: firstTip.y + firstTip.height - height / 2
            color: Public.theme.barTipBgColor
        }

        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.NoButton
            cursorShape: control.first.pressed ? Qt.ClosedHandCursor : Qt.OpenHandCursor
        }
    }

    second.handle: Rectangle {
        id: secondHandle
        objectName: "secondHandle"
        x: control.leftPadding + control.second.visualPosition * (control.availableWidth - width)
        y: control.topPadding
        width: d.handleSize
        height: d.handleSize
        radius: width / 2
        gradient: Public.theme.barBtnGradient
        border.width: 1
        border.color: Public.theme.barBtnBorderColor

        Behavior on x {
            enabled: d.completed && control.animEnabled && !control.second.pressed
            NumberAnimation {
                duration: control.animTime
                easing.type: Easing.OutQuad
            }
        }

        Rectangle {
            id: secondTip
            objectName: "secondTip"
            width: control.tipWidth
            height: 22
            radius: 4
            x: (secondHandle.width - width) / 2 + control.tipShift
            y: -8 - height
            color: Public.theme.barTipBgColor

            Text {
                objectName: "secondTipLabel"
                anchors.fill: parent
                anchors.leftMargin: 2
                anchors.rightMargin: 2
                text: control.secondTipText
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                font.pixelSize: 14
                fontSizeMode: Text.Fit
                minimumPixelSize: 10
                color: control.secondDeviceValueShown ? Public.theme.warningColor : Public.theme.barTipTextColor
                Accessible.ignored: true
            }
        }

        Triangle {
            objectName: "secondPointer"
            width: 10
            height: 10
            x: (secondHandle.width - width) / 2 + control.tipShift / 2
            y: secondTip.y + secondTip.height - height / 2
            color: Public.theme.barTipBgColor
        }

        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.NoButton
            cursorShape: control.second.pressed ? Qt.ClosedHandCursor : Qt.OpenHandCursor
        }
    }

    MouseArea {
        objectName: "wheelArea"
        anchors.fill: parent
        acceptedButtons: Qt.NoButton
        onWheel: {
            if (wheel.angleDelta.y !== 0)
                d.wheelStep(wheel.x - control.leftPadding, wheel.angleDelta.y > 0)
        }
    }
}
