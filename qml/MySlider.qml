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

    background: SliderGroove {
        id: groove
        slider: control
        handleSize: d.handleSize
        fillWidth: control.visualPosition * groove.width
        animate: d.animate
    }

    handle: SliderHandle {
        slider: control
        width: d.handleSize
        visualPosition: control.visualPosition
        pressed: control.pressed
        animate: d.animate
        tipText: control.tipText
        warning: control.deviceValueShown
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
