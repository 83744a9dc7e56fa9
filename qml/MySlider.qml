import QtQuick 2.15
import QtQuick.Templates 2.15 as T
import "value_format.js" as ValueFormat
import "control_rules.js" as Rules

// A slider with a value tip above the handle and the range and title below
// the groove. One wheel notch moves it one step. A value the handle cannot
// show (deviceValue) takes the tip's place, in the warning colour, until the
// operator moves the handle.
T.Slider {
    id: control

    property int valueInt: 0
    property string unit: ""
    property string title: "slider"
    property string tipFormat: "${v}"
    property string rangeFormat: "${v}${u}"
    readonly property int animTime: 250
    property bool animEnabled: true
    // The owner's value for the handle where the handle cannot show it (out
    // of range, or shown as an end instead); undefined when there is none.
    property var deviceValue: undefined
    // The operator has moved the handle (drag, click, key, wheel) since the
    // owner last cleared this.
    property bool touched: false
    readonly property bool deviceValueShown: deviceValue !== undefined && deviceValue !== null && !touched

    readonly property string tipText: deviceValueShown ? format(deviceValue, tipFormat)
                                                       : format(Rules.displayValue(value, stepSize), tipFormat)

    function format(val, fmtStr) {
        return ValueFormat.formatValue(val, fmtStr, unit)
    }

    QtObject {
        id: d
        property bool completed: false
        // The first placement does not animate, nor does a dragged handle.
        readonly property bool animate: control.animEnabled && completed && !control.pressed
        readonly property real handleSize: 24
    }

    padding: 0
    topPadding: 32
    bottomPadding: 10

    implicitWidth: 200
    // Tips above, handle, and the label row that hangs below the groove.
    implicitHeight: Math.max(topPadding + 43, topPadding + bottomPadding + d.handleSize)

    Accessible.role: Accessible.Slider
    Accessible.name: title
    Accessible.description: deviceValueShown ? qsTr("%1 (设备值)").arg(tipText) : tipText

    onValueChanged: valueInt = Math.round(value)
    onMoved: {
        valueInt = Math.round(value)
        touched = true
    }
    Component.onCompleted: {
        valueInt = Math.round(value)
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
            x: 1
            y: 1
            height: 8
            radius: 4
            width: control.visualPosition * groove.width
            color: Public.theme.barFrColor

            Behavior on width {
                enabled: d.animate
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

    handle: Rectangle {
        id: handle
        objectName: "handle"
        x: control.leftPadding + control.visualPosition * (control.availableWidth - width)
        y: control.topPadding
        width: d.handleSize
        height: d.handleSize
        radius: width / 2
        gradient: Public.theme.barBtnGradient
        border.width: 1
        border.color: Public.theme.barBtnBorderColor

        Behavior on x {
            enabled: d.animate
            NumberAnimation {
                duration: control.animTime
                easing.type: Easing.OutQuad
            }
        }

        Rectangle {
            id: tip
            objectName: "tip"
            width: 48
            height: 22
            radius: 4
            x: (handle.width - width) / 2
            y: -8 - height
            color: Public.theme.barTipBgColor

            Text {
                objectName: "tipLabel"
                anchors.fill: parent
                anchors.leftMargin: 2
                anchors.rightMargin: 2
                text: control.tipText
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                font.pixelSize: 14
                fontSizeMode: Text.Fit
                minimumPixelSize: 10
                color: control.deviceValueShown ? Public.theme.warningColor : Public.theme.barTipTextColor
                Accessible.ignored: true
            }
        }

        Triangle {
            objectName: "pointer"
            width: 10
            height: 10
            x: (handle.width - width) / 2
            y: tip.y + tip.height - height / 2
            color: Public.theme.barTipBgColor
        }

        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.NoButton
            cursorShape: control.pressed ? Qt.ClosedHandCursor : Qt.OpenHandCursor
        }
    }

    // One step per wheel notch, whatever the notch's size.
    MouseArea {
        objectName: "wheelArea"
        anchors.fill: parent
        acceptedButtons: Qt.NoButton
        onWheel: {
            if (wheel.angleDelta.y < 0)
                control.decrease()
            else if (wheel.angleDelta.y > 0)
                control.increase()
            else
                return
            control.valueInt = Math.round(control.value)
            control.moved()
        }
    }
}
