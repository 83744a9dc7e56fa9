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

    background: SliderGroove {
        id: groove
        slider: control
        handleSize: d.handleSize
        fillX: control.first.position * groove.width + 3
        fillWidth: Math.max(0, (control.second.position - control.first.position) * groove.width - 8)
        animate: d.completed && control.animEnabled && !control.first.pressed && !control.second.pressed
    }

    // The tips part to either side by tipShift, the first to the left.
    first.handle: SliderHandle {
        slider: control
        namePrefix: "first"
        width: d.handleSize
        visualPosition: control.first.visualPosition
        pressed: control.first.pressed
        animate: d.completed && control.animEnabled && !control.first.pressed
        tipText: control.firstTipText
        warning: control.firstDeviceValueShown
        tipWidth: control.tipWidth
        tipShift: -control.tipShift
    }

    second.handle: SliderHandle {
        slider: control
        namePrefix: "second"
        width: d.handleSize
        visualPosition: control.second.visualPosition
        pressed: control.second.pressed
        animate: d.completed && control.animEnabled && !control.second.pressed
        tipText: control.secondTipText
        warning: control.secondDeviceValueShown
        tipWidth: control.tipWidth
        tipShift: control.tipShift
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
